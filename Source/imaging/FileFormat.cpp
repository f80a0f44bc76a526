// The file-format framework and the registry.
#include "imaging/FileFormat.h"

#include <algorithm>
#include <cctype>

#include "imaging/Formats.h"
#include "imaging/Options.h"
#include "imaging/Utility.h"

namespace velto {

namespace {

struct Registered {
    int rank;
    std::unique_ptr<TImageFileFormat> format;
};

std::vector<Registered>& State() {
    static std::vector<Registered> formats;
    return formats;
}

// Filled once, by the first thread to use the registry (others wait). The
// formats register while it is filled, into State() directly.
std::vector<Registered>& Formats() {
    static const bool filled = (RegisterAllImageFileFormats(), true);
    (void)filled;
    return State();
}

std::string Trim(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
    return std::string(s.substr(b, e - b));
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::string NamePart(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

}  // namespace

// ---------------------------------------------------------------------------
// TImageFileFormat

TImageFileFormat::TImageFileFormat() : Name("Unknown and unsupported format") {}
TImageFileFormat::~TImageFileFormat() = default;

void TImageFileFormat::GetSupportedFormats(TImageFormats& formats) const { formats = SupportedFormats; }

bool TImageFileFormat::LoadData(const TIOFunctions&, TImagingHandle, TDynImageDataArray&, bool) {
    RaiseImagingError(ImagingFormat("Image Format \"%s\" does not support loading images.", Name.c_str()));
}

bool TImageFileFormat::SaveData(const TIOFunctions&, TImagingHandle, const TDynImageDataArray&, std::int32_t) {
    RaiseImagingError(ImagingFormat("Image Format \"%s\" does not support saving images.", Name.c_str()));
}

void TImageFileFormat::ConvertToSupported(TImageData&, const TImageFormatInfo&) {}

bool TImageFileFormat::IsSupported(const TImageData& image) const {
    TImageFormats formats;
    GetSupportedFormats(formats);
    return image.Format < formats.size() && formats.test(image.Format);
}

bool TImageFileFormat::TestFormat(const TIOFunctions&, TImagingHandle) { return false; }

void TImageFileFormat::CheckOptionsValidity() {}

void TImageFileFormat::AddMasks(std::string_view masks) {
    Extensions.clear();
    Masks.clear();
    std::size_t start = 0;
    while (start <= masks.size()) {
        const std::size_t comma = masks.find(',', start);
        const std::string_view piece = masks.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
        const std::string mask = Trim(piece);
        if (!mask.empty()) {
            Masks.push_back(mask);
            const std::size_t dot = mask.rfind('.');
            const std::string ext = dot == std::string::npos ? std::string() : mask.substr(dot + 1);
            if (!ext.empty() && ext != "*") Extensions.push_back(ext);
        }
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
}

bool TImageFileFormat::TestFileName(std::string_view fileName) const {
    const std::string name = NamePart(fileName);
    return std::any_of(Masks.begin(), Masks.end(), [&](const std::string& m) { return MatchFileNameMask(name, m, false); });
}

bool TImageFileFormat::PrepareLoad(TImagingHandle handle, TDynImageDataArray& images, bool) {
    FreeImagesInArray(images);
    return handle != nullptr;
}

bool TImageFileFormat::PostLoadCheck(TDynImageDataArray& images, bool loadResult) {
    bool result = false;
    if (loadResult) result = TestImagesInArray(images);
    if (result) {
        const std::int32_t override = GetOption(ImagingLoadOverrideFormat);
        if (override != 0)
            for (TImageData& image : images) ConvertImage(image, static_cast<TImageFormat>(override));
    } else {
        FreeImagesInArray(images);
    }
    return result;
}

bool TImageFileFormat::LoadFromFile(const std::string& fileName, TDynImageDataArray& images, bool onlyFirstLevel) {
    if (!CanLoad) return false;
    const TIOFunctions& IO = FileIO();
    TImagingHandle handle = nullptr;
    try {
        TDecodeBudgetScope budget;
        handle = IO.OpenRead(fileName.c_str());
        if (!TestFormat(IO, handle))
            RaiseImagingError(ImagingFormat("File \"%s\" is not valid image in \"%s\" format.", fileName.c_str(), Name.c_str()));
        const bool loaded = PrepareLoad(handle, images, onlyFirstLevel) && LoadData(IO, handle, images, onlyFirstLevel);
        const bool result = PostLoadCheck(images, loaded);
        TImagingHandle h = handle;
        handle = nullptr;
        IO.Close(h);
        return result;
    } catch (...) {
        FreeImagesInArray(images);
        if (handle) {
            try {
                IO.Close(handle);
            } catch (...) {
            }
        }
        RaiseImagingError(ImagingFormat("Error while loading images from file \"%s\" (file format: %s).",
                                        fileName.c_str(), FirstExtension().c_str()));
    }
}

bool TImageFileFormat::LoadFromStream(TStream& stream, TDynImageDataArray& images, bool onlyFirstLevel) {
    if (!CanLoad) return false;
    const TIOFunctions& IO = StreamIO();
    const std::int64_t start = stream.Position();
    try {
        TDecodeBudgetScope budget;
        TImagingHandle handle = IO.OpenRead(&stream);
        if (!TestFormat(IO, handle))
            RaiseImagingError(ImagingFormat("Stream %p does not contain valid image in \"%s\" format.",
                                            static_cast<const void*>(&stream), Name.c_str()));
        const bool loaded = PrepareLoad(handle, images, onlyFirstLevel) && LoadData(IO, handle, images, onlyFirstLevel);
        const bool result = PostLoadCheck(images, loaded);
        IO.Close(handle);
        return result;
    } catch (...) {
        FreeImagesInArray(images);
        stream.Seek(start, smFromBeginning);
        RaiseImagingError(ImagingFormat("Error while loading images from stream %p (file format: %s).",
                                        static_cast<const void*>(&stream), FirstExtension().c_str()));
    }
}

bool TImageFileFormat::PrepareSave(TImagingHandle, const TDynImageDataArray& images, std::int32_t& index) {
    CheckOptionsValidity();
    if (!CanSave || images.empty()) return false;
    const auto count = static_cast<std::int32_t>(images.size());
    if (!IsMultiImage) {
        if (index < 0 || index >= count) index = 0;
        return TestImage(images[static_cast<std::size_t>(index)]);
    }
    if (index >= count) index = 0;
    const TSaveRange range = SaveRange(images, index);
    for (std::int32_t i = range.first; i <= range.last; ++i)
        if (!TestImage(images[static_cast<std::size_t>(i)])) return false;
    return true;
}

bool TImageFileFormat::MakeCompatible(const TImageData& image, TImageData& compatible, bool& mustBeFreed) {
    InitImage(compatible);
    bool result;
    try {
        const std::int32_t override = GetOption(ImagingSaveOverrideFormat);
        if (override != 0) {
            CloneImage(image, compatible);
            ConvertImage(compatible, static_cast<TImageFormat>(override));
            result = IsSupported(compatible);
            if (!result) {
                TImageFormatInfo info;
                GetImageFormatInfo(compatible.Format, info);
                ConvertToSupported(compatible, info);
                result = IsSupported(compatible);
            }
        } else if (IsSupported(image)) {
            compatible = image;
            result = true;
        } else {
            CloneImage(image, compatible);
            TImageFormatInfo info;
            GetImageFormatInfo(compatible.Format, info);
            ConvertToSupported(compatible, info);
            result = IsSupported(compatible);
        }
    } catch (...) {
        if (compatible.Bits != image.Bits) FreeImage(compatible);
        throw;
    }
    mustBeFreed = compatible.Bits != image.Bits;
    return result;
}

bool TImageFileFormat::SaveToFile(const std::string& fileName, const TDynImageDataArray& images, bool onlyFirstLevel) {
    if (!CanSave || !TestImagesInArray(images)) return false;
    const TIOFunctions& IO = FileIO();
    TImagingHandle handle = nullptr;
    // Writes one file; it replaces the target only when the image was written whole.
    const auto saveOne = [&](const std::string& name, std::int32_t index) {
        handle = IO.OpenWrite(name.c_str());
        const bool ok = PrepareSave(handle, images, index) && SaveData(IO, handle, images, index);
        if (!ok) AbandonFileWrite(handle);
        TImagingHandle h = handle;
        handle = nullptr;
        IO.Close(h);
        return ok;
    };
    try {
        if (IsMultiImage || onlyFirstLevel || images.size() == 1) return saveOne(fileName, onlyFirstLevel ? 0 : -1);
        // Numbered files: pic.png gives pic000.png, pic001.png, ...
        const std::string name = NamePart(fileName);
        const std::size_t dot = name.rfind('.');
        const std::size_t cut = fileName.size() - name.size() + (dot == std::string::npos ? name.size() : dot);
        const std::string base = fileName.substr(0, cut), ext = fileName.substr(cut);
        for (std::size_t i = 0; i < images.size(); ++i)
            if (!saveOne(base + ImagingFormat("%.3d", static_cast<int>(i)) + ext, static_cast<std::int32_t>(i))) return false;
        return true;
    } catch (...) {
        if (handle) {
            AbandonFileWrite(handle);
            try {
                IO.Close(handle);
            } catch (...) {
            }
        }
        RaiseImagingError(ImagingFormat("Error while saving images to file \"%s\" (file format: %s).",
                                        fileName.c_str(), FirstExtension().c_str()));
    }
}

bool TImageFileFormat::SaveToStream(TStream& stream, const TDynImageDataArray& images, bool onlyFirstLevel) {
    if (!CanSave || !TestImagesInArray(images)) return false;
    const TIOFunctions& IO = StreamIO();
    const std::int64_t start = stream.Position();
    try {
        TImagingHandle handle = IO.OpenWrite(&stream);
        bool result = true;
        if (IsMultiImage || onlyFirstLevel || images.size() == 1) {
            std::int32_t index = onlyFirstLevel ? 0 : -1;
            result = PrepareSave(handle, images, index) && SaveData(IO, handle, images, index);
        } else {
            for (std::size_t i = 0; i < images.size() && result; ++i) {
                auto index = static_cast<std::int32_t>(i);
                result = PrepareSave(handle, images, index) && SaveData(IO, handle, images, index);
            }
        }
        IO.Close(handle);
        return result;
    } catch (...) {
        stream.Seek(start, smFromBeginning);
        RaiseImagingError(ImagingFormat("Error while saving images to stream %p (file format: %s).",
                                        static_cast<const void*>(&stream), FirstExtension().c_str()));
    }
}

// ---------------------------------------------------------------------------
// Registry

void RegisterImageFileFormat(int rank, std::unique_ptr<TImageFileFormat> format) {
    if (!format) throw EImagingError("Assertion failure: no format");
    auto& formats = State();
    const auto at = std::upper_bound(formats.begin(), formats.end(), rank,
                                     [](int r, const Registered& e) { return r < e.rank; });
    formats.insert(at, Registered{rank, std::move(format)});
}

std::int32_t GetFileFormatCount() { return static_cast<std::int32_t>(Formats().size()); }

TImageFileFormat* GetFileFormatAtIndex(std::int32_t index) {
    auto& formats = Formats();
    if (index < 0 || static_cast<std::size_t>(index) >= formats.size()) return nullptr;
    return formats[static_cast<std::size_t>(index)].format.get();
}

TImageFileFormat* FindImageFileFormatByExt(std::string_view ext) {
    for (const Registered& r : Formats())
        for (const std::string& e : r.format->Extensions)
            if (EqualNoCase(e, ext)) return r.format.get();
    return nullptr;
}

TImageFileFormat* FindImageFileFormatByName(std::string_view fileName) {
    for (const Registered& r : Formats())
        if (r.format->TestFileName(fileName)) return r.format.get();
    return nullptr;
}

namespace {

// The content tests of every format over one handle: the formats whose masks
// accept the name first (when there is a name), then every format.
TImageFileFormat* Detect(const TIOFunctions& io, TImagingHandle handle, const std::string* fileName) {
    if (fileName)
        for (const Registered& r : Formats())
            if (r.format->TestFileName(*fileName) && r.format->TestFormat(io, handle)) return r.format.get();
    for (const Registered& r : Formats())
        if (r.format->TestFormat(io, handle)) return r.format.get();
    return nullptr;
}

}  // namespace

std::string DetectFileFormat(const std::string& fileName) {
    if (fileName.empty()) throw EImagingError("Assertion failure: no file name");
    const TIOFunctions& io = FileIO();
    TImagingHandle handle = nullptr;
    try {
        handle = io.OpenRead(fileName.c_str());
    } catch (const std::exception&) {
        return {};  // a file that cannot be read has no format
    }
    std::string ext;
    try {
        if (TImageFileFormat* f = Detect(io, handle, &fileName)) ext = f->FirstExtension();
    } catch (...) {
        io.Close(handle);
        throw;
    }
    io.Close(handle);
    return ext;
}

std::string DetectStreamFormat(TStream& stream) {
    const TIOFunctions& io = StreamIO();
    TImagingHandle handle = io.OpenRead(&stream);
    std::string ext;
    if (TImageFileFormat* f = Detect(io, handle, nullptr)) ext = f->FirstExtension();
    io.Close(handle);
    return ext;
}

namespace {

bool TakeFirst(bool loaded, TDynImageDataArray& images, TImageData& image) {
    if (!loaded || images.empty()) {
        FreeImagesInArray(images);
        return false;
    }
    image = images[0];
    images[0] = TImageData{};
    FreeImagesInArray(images);
    return true;
}

}  // namespace

bool LoadImageFromFile(const std::string& fileName, TImageData& image) {
    if (fileName.empty()) throw EImagingError("Assertion failure: no file name");
    TImageFileFormat* format = FindImageFileFormatByExt(DetectFileFormat(fileName));
    if (!format) return false;
    FreeImage(image);
    TDynImageDataArray images;
    return TakeFirst(format->LoadFromFile(fileName, images, true), images, image);
}

bool LoadImageFromStream(TStream& stream, TImageData& image) {
    TImageFileFormat* format = FindImageFileFormatByExt(DetectStreamFormat(stream));
    if (!format) return false;
    FreeImage(image);
    TDynImageDataArray images;
    return TakeFirst(format->LoadFromStream(stream, images, true), images, image);
}

bool SaveImageToFile(const std::string& fileName, const TImageData& image) {
    if (fileName.empty()) throw EImagingError("Assertion failure: no file name");
    TImageFileFormat* format = FindImageFileFormatByName(fileName);
    if (!format) return false;
    const TDynImageDataArray images{image};
    return format->SaveToFile(fileName, images, true);
}

bool SaveImageToStream(std::string_view ext, TStream& stream, const TImageData& image) {
    if (ext.empty()) throw EImagingError("Assertion failure: no extension");
    TImageFileFormat* format = FindImageFileFormatByExt(ext);
    if (!format) return false;
    const TDynImageDataArray images{image};
    return format->SaveToStream(stream, images, true);
}

}  // namespace velto
