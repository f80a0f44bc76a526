// The tool-bar pictures: every tool-bar command of the main window and of the
// document windows has its own picture, crisp at twice the density, with a
// disabled look that differs from the normal one.
#include <gtest/gtest.h>

#include <QIcon>
#include <QImage>
#include <QPixmap>

#include <map>

#include "GuiTestApp.h"
#include "shell/MainActions.h"
#include "shell/ToolArt.h"

using namespace velto;

namespace {

QImage Look(const QIcon& icon, QSize size, qreal dpr, QIcon::Mode mode) {
    return icon.pixmap(size, dpr, mode).toImage().convertToFormat(QImage::Format_ARGB32);
}

}  // namespace

TEST(ToolPictures, EveryToolBarCommandHasItsOwnPictureAtBothDensities) {
    test::EnsureGuiApp();
    QStringList names;
    for (const ActionSpec& spec : MainActionTable())
        if (spec.group == ActionGroup::Toolbar) names << spec.name;
    // The document window's band.
    names << "actNewImage" << "actDuplicateImage" << "actDelImage" << "actImportImage" << "actZoomOut"
          << "actZoomIn" << "actGrid" << "actSidebar";
    ASSERT_GE(names.size(), 20);
    std::map<QByteArray, QString> seen;
    for (const QString& name : names) {
        SCOPED_TRACE(name.toStdString());
        const QIcon icon = ToolbarIcon(name);
        ASSERT_FALSE(icon.isNull());
        const QImage normal = Look(icon, {24, 24}, 1, QIcon::Normal);
        const QImage twice = Look(icon, {24, 24}, 2, QIcon::Normal);
        EXPECT_EQ(normal.size(), QSize(24, 24));
        EXPECT_EQ(twice.size(), QSize(48, 48)) << "drawn at 2x, not scaled up";
        EXPECT_NE(twice.scaled(24, 24), normal.scaled(24, 24)) << "the 2x drawing is not the 1x one enlarged";
        const QImage disabled = Look(icon, {24, 24}, 1, QIcon::Disabled);
        EXPECT_NE(disabled, normal);
        // Disabled: every pixel grey, with half its alpha.
        const TPNGObject& png = ToolbarImages().Item(ToolbarImages().IndexOf(name.toStdString())).PngImage();
        int wrong = 0, shown = 0;
        for (int y = 0; y < 24; ++y)
            for (int x = 0; x < 24; ++x) {
                const QRgb d = disabled.pixel(x, y);
                const std::uint8_t a = png.AlphaScanline(y)[x];
                shown += a != 0;
                wrong += qAlpha(d) != FadedAlpha(a, 127) || (a != 0 && (qRed(d) != qGreen(d) || qGreen(d) != qBlue(d)));
            }
        EXPECT_GT(shown, 40);
        EXPECT_EQ(wrong, 0);
        const QByteArray key(reinterpret_cast<const char*>(normal.constBits()), normal.sizeInBytes());
        const auto [it, fresh] = seen.emplace(key, name);
        EXPECT_TRUE(fresh) << "same picture as " << it->second.toStdString();
    }
    EXPECT_TRUE(ToolbarIcon("actNoSuchCommand").isNull());
}
