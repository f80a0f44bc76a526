#pragma once
// A grid of plain tiles to click on, and the tests' application object.
#include <QApplication>
#include <QImage>
#include <QTest>

#include <memory>

#include "GuiTestApp.h"
#include "browse/ThumbnailGrid.h"

namespace velto::test {

// A shown grid 400 x 300 of `count` tiles of 100 with captions "t0", "t1"...
inline std::unique_ptr<TThumbail> MakeGrid(int count, int width = 400, int height = 300) {
    EnsureGuiApp();
    auto grid = std::make_unique<TThumbail>();
    grid->setFrameShape(QFrame::NoFrame);
    grid->resize(width, height);
    grid->SetThumbnailSize(100);
    for (int i = 0; i < count; ++i) {
        TThumbnailItem& item = grid->Add();
        item.Caption = QString("t%1").arg(i);
        QImage pic(16, 16, QImage::Format_RGB32);
        pic.fill(Qt::red);
        item.SetPicture(pic);
    }
    grid->show();
    return grid;
}

inline QPoint Centre(const TThumbail& grid, int i) { return grid.ItemRect(i).center(); }

inline void Click(TThumbail& grid, int i, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, mods, Centre(grid, i));
}

}  // namespace velto::test
