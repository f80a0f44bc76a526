# Pillow's time for saving the frames bench_gif writes to a raw file (a line
# "width height frames kind", 256 RGB palette entries, then each frame's
# palette indices): prints the median of 7 saves into memory, in seconds.
# Kind 1 is the animation: 4/100 s a frame, disposal 1, index 255 transparent.
import io
import statistics
import sys
import time

from PIL import Image

with open(sys.argv[1], "rb") as f:
    width, height, count, kind = (int(v) for v in f.readline().split())
    palette = f.read(768)
    frames = []
    for _ in range(count):
        im = Image.frombytes("P", (width, height), f.read(width * height))
        im.putpalette(palette)
        frames.append(im)
options = {"interlace": False}
if kind == 1:
    options.update(save_all=True, append_images=frames[1:], duration=40, disposal=1, transparency=255, loop=0)
times = []
for _ in range(7):
    start = time.perf_counter()
    frames[0].save(io.BytesIO(), "GIF", **options)
    times.append(time.perf_counter() - start)
print(statistics.median(times))
