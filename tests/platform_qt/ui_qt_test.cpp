// The Qt back end of the user-interface service: the filter list in Qt's
// form, each pattern offered in both cases.
#include "platform/qt/ui_qt.h"

#include <gtest/gtest.h>

namespace vz::ui {
namespace {

TEST(QtUiFilters, PairsBecomeNameFiltersInBothCases) {
  EXPECT_EQ(qtNameFilters("All Archives|*.ZIP;*.Z;|Zip files only|*.ZIP|Everything|*||"),
            (QStringList{"All Archives (*.ZIP *.zip *.Z *.z)", "Zip files only (*.ZIP *.zip)", "Everything (*)"}));
  EXPECT_EQ(qtNameFilters("Repairable archives|*.zip||"), (QStringList{"Repairable archives (*.ZIP *.zip)"}));
  EXPECT_TRUE(qtNameFilters("").isEmpty());
}

}  // namespace
}  // namespace vz::ui
