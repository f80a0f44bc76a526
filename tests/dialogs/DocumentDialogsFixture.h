#pragma once
// The program with its dialogs, and documents opened from files written in
// its temporary folder: what the tests of
// the document dialogs (new image, properties, delete, cursor test) and of the
// preferences, tips and about windows start from.
#include <gtest/gtest.h>

#include <vector>

#include "DialogsTestSupport.h"
#include "model/Icon.h"

namespace velto::test {

// One image of a document to build: size, depth and one colour for every
// pixel (distinct images can then be told apart after moves and copies).
struct ImageSpec {
    int width = 32;
    int height = 32;
    int bits = 32;
    TmyPixel fill = TmyPixel::CreateRGBA(0, 0, 0, 0);
};

inline void FillDocument(TmyIcon& doc, const std::vector<ImageSpec>& images) {
    for (const ImageSpec& s : images) {
        const int i = doc.AddImage({s.width, s.height}, s.bits);
        TmyImagePal& img = doc.Image(i);
        for (TmyPixel& p : img.Pixels()) p = s.fill;
        if (img.Palette) img.BuildPalette();
    }
}

// The program's window (ProgramWindowTest) with documents of images built
// from specs.
class DocumentDialogsTest : public ProgramWindowTest {
protected:
    TfrmDesk* openIcon(const std::vector<ImageSpec>& images, const QString& name = QStringLiteral("doc.cur")) {
        TmyIcon doc;
        FillDocument(doc, images);
        return open(doc, name);
    }
    TfrmDesk* openAni(const std::vector<ImageSpec>& frames, const QString& name = QStringLiteral("doc.ani")) {
        TmyANI doc;
        FillDocument(doc, frames);
        return open(doc, name);
    }
};

}  // namespace velto::test
