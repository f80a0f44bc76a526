#pragma once
// The icons of a file as the desktop's icon extraction gives them: the icon
// groups (RT_GROUP_ICON) of a Windows executable or library, in directory
// order, or the single icon of an icon file. Executables are read as data
// (nothing of them runs). 16-bit executables and icon libraries are not
// read: they give no icons, like files of any other kind.
#include <QImage>

#include <string>

namespace velto {

class IconExtractor {
public:
    // Reads the file; false (no icons) when it is neither an executable nor an icon file.
    bool Open(const std::string& fileName);
    int Count() const { return count_; }
    // Icon index rendered at 32 x 32 over white (the image nearest that
    // size, deepest first); a null image when it cannot be read.
    QImage Icon(int index) const;

private:
    std::string fileName_;
    bool iconFile_ = false;
    int count_ = 0;
};

}  // namespace velto
