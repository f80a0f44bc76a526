#pragma once
// The registry through which the windowing layer finds a graphic class for a
// file extension (the last registration of an extension wins), and a registry
// of graphic classes by name. RegisterImagingGraphics fills both with the
// image library's formats; it runs once at start-up, before any window.
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "imagingqt/ImagingGraphic.h"

namespace velto {

using TGraphicFactory = std::function<std::unique_ptr<TImagingGraphic>()>;

struct TPictureFileFormat {
    std::string Extension;    // lower case, without the dot
    std::string Description;  // shown in file dialogs
    std::string ClassName;    // the graphic class that reads it
    TGraphicFactory Factory;
};

class TPictureRegistry {
public:
    // Registers (or re-registers) an extension; case does not matter.
    void RegisterFileFormat(std::string_view extension, std::string_view description, std::string_view className,
                            TGraphicFactory factory);
    // Removes every extension registered for the class.
    void UnregisterGraphicClass(std::string_view className);
    // The registration of an extension, or nullptr.
    const TPictureFileFormat* Find(std::string_view extension) const;
    // A new graphic of the class registered for the extension, or nullptr.
    std::unique_ptr<TImagingGraphic> Create(std::string_view extension) const;
    // Registrations in extension order.
    std::vector<const TPictureFileFormat*> Formats() const;

private:
    std::map<std::string, TPictureFileFormat> formats_;
};

class TClassRegistry {
public:
    void RegisterClass(std::string_view name, TGraphicFactory factory);
    void UnregisterClass(std::string_view name);
    std::unique_ptr<TImagingGraphic> Create(std::string_view name) const;
    bool Has(std::string_view name) const { return classes_.count(std::string(name)) != 0; }

private:
    std::map<std::string, TGraphicFactory, std::less<>> classes_;
};

TPictureRegistry& PictureRegistry();
TClassRegistry& ClassRegistry();

// Every extension of every registered file format for TImagingGraphic (from
// the last format to the first), then the eight saving classes for their own
// format's extensions, which take precedence.
void RegisterImagingGraphics();
// Removes the classes registered above but the MNG and JNG ones, which stay.
void UnregisterImagingGraphics();

}  // namespace velto
