// The service's settings: the hook's values, and the ImportAction override
// that the advanced dialog's preview takes for one conversion.
#include <gtest/gtest.h>

#include <stdexcept>

#include "import/MyImport.h"

namespace velto {
namespace {

TEST(ImportSettings, DefaultsWithoutHookAndHookValuesWithIt) {
    tmyimport service;
    EXPECT_EQ(service.Settings().ImportAction, fpAdvanced);
    EXPECT_EQ(service.Settings().ClipboardAction, fpAsk);
    EXPECT_TRUE(service.Settings().KeepAspectRatio);
    EXPECT_TRUE(service.Settings().ExportAlpha);
    EXPECT_EQ(service.Settings().PrevColor, MakeColor(255, 255, 255));
    TImportSettings mine;
    mine.ImportAction = fpCrop;
    mine.Overimpose = true;
    service.Hooks.Settings = [&] { return mine; };
    EXPECT_EQ(service.Settings().ImportAction, fpCrop);
    EXPECT_TRUE(service.Settings().Overimpose);
}

TEST(ImportSettings, OverrideEndsOnEveryExitAndNests) {
    tmyimport service;
    TImportSettings mine;
    mine.ImportAction = fpAsk;
    service.Hooks.Settings = [&] { return mine; };
    try {
        TImportActionOverride outer(service, fpResize);
        EXPECT_EQ(service.Settings().ImportAction, fpResize);
        {
            TImportActionOverride inner(service, fpCrop);
            EXPECT_EQ(service.Settings().ImportAction, fpCrop);
        }
        EXPECT_EQ(service.Settings().ImportAction, fpResize);
        throw std::runtime_error("preview failed");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(service.Settings().ImportAction, fpAsk);
    // The program's own setting was never written.
    EXPECT_EQ(mine.ImportAction, fpAsk);
}

}  // namespace
}  // namespace velto
