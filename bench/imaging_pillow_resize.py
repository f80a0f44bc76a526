# Pillow's time for resizing a 1024x1024 RGB picture to 256x256 with the
# filter named on the command line ("bilinear" or "bicubic"): prints the
# median of 15 runs, in seconds, for bench_imaging.
import math
import statistics
import sys
import time

from PIL import Image

side = 1024
pixels = bytearray(side * side * 3)
for y in range(side):
    for x in range(side):
        fx, fy = x / 97.0, y / 61.0
        i = (y * side + x) * 3
        pixels[i] = int(128 + 80 * math.cos(fx * 1.3 - fy * 0.5))
        pixels[i + 1] = int(128 + 90 * math.sin(fx * 0.7 + fy))
        pixels[i + 2] = int(128 + 100 * math.sin(fx) * math.cos(fy)) + (x * y & 3)
image = Image.frombytes("RGB", (side, side), bytes(pixels))
resample = {"bilinear": Image.BILINEAR, "bicubic": Image.BICUBIC}[sys.argv[1]]
times = []
for _ in range(15):
    start = time.perf_counter()
    image.resize((256, 256), resample)
    times.append(time.perf_counter() - start)
print(statistics.median(times))
