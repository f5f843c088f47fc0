#include "app/gui/tools/associations/associations_dialog.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QPushButton>
#include <QTreeWidget>
#include <cstdlib>

#include "app/core/settings.h"
#include "image/format_table.h"
#include "shell/associations.h"
#include "support/test_support.h"

namespace kalder::gui {
namespace {

class AssociationsDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("HOME", (m_dir / "home").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (m_dir / "config").c_str(), 1);
        setenv("XDG_DATA_HOME", (m_dir / "data").c_str(), 1);
        unsetenv("XDG_CURRENT_DESKTOP");
    }
    QPushButton* button(QWidget* dialog, const char* text) {
        for (QPushButton* b : dialog->findChildren<QPushButton*>())
            if (b->text() == QLatin1String(text)) return b;
        return nullptr;
    }
    bool allAssociated(const shell::Associations& a) {
        for (std::size_t i = 0; i < 36; ++i)
            if (!a.IsAssociated(i)) return false;
        return true;
    }

    test::TempDir m_dir;
    shell::RegistryStore m_store{m_dir / "config/kalder/kalder.conf"};
    app::Settings m_settings;
};

TEST_F(AssociationsDialogTest, RowsButtonsAndOkFollowTheChecks) {
    shell::Associations engine(shell::XdgFolders::fromEnvironment(), m_store, "/bin/true");
    AssociationsDialog dialog(m_settings, engine);
    QTreeWidget* list = dialog.list();
    ASSERT_EQ(list->topLevelItemCount(), static_cast<int>(image::formatTable().size()));
    EXPECT_EQ(list->topLevelItem(7)->text(1), QStringLiteral("jpg jpeg jpe jif jff jfif "));
    EXPECT_EQ(list->topLevelItem(7)->checkState(0), Qt::Unchecked);

    button(&dialog, "None")->click();
    button(&dialog, "Invert")->click();
    list->topLevelItem(11)->setCheckState(0, Qt::Unchecked);  // PNG
    dialog.verifyBox()->setChecked(false);
    ASSERT_TRUE(dialog.apply());
    EXPECT_FALSE(engine.IsAssociated(17));
    EXPECT_TRUE(engine.IsAssociated(6));
    EXPECT_FALSE(m_settings.associateFormat[static_cast<std::size_t>(image::FormatCode::Png)]);
    EXPECT_TRUE(m_settings.associateFormat[static_cast<std::size_t>(image::FormatCode::Jpeg)]);
    EXPECT_FALSE(m_settings.verifyAssociations);

    button(&dialog, "None")->click();
    ASSERT_TRUE(dialog.apply());
    EXPECT_FALSE(engine.IsAssociated(6));  // given back
}

TEST_F(AssociationsDialogTest, ChangedDialogSetsAllOrClearsTheWishes) {
    shell::Associations engine(shell::XdgFolders::fromEnvironment(), m_store, "/bin/true");
    m_settings.associateFormat.fill(false);
    m_settings.associateFormat[static_cast<std::size_t>(image::FormatCode::Gif)] = true;
    AssociationsChangedDialog setAll(m_settings, engine);
    EXPECT_EQ(setAll.windowTitle(), QStringLiteral("File Associations Changed"));
    // Room for the title beside the title bar's own buttons.
    EXPECT_GE(setAll.minimumSizeHint().expandedTo(setAll.minimumSize()).width(),
              setAll.fontMetrics().horizontalAdvance(setAll.windowTitle()) * 3 / 2);
    setAll.setAllClicked();
    EXPECT_TRUE(allAssociated(engine));
    EXPECT_TRUE(m_settings.associateFormat[static_cast<std::size_t>(image::FormatCode::Gif)]);
    EXPECT_FALSE(m_settings.associateFormat[static_cast<std::size_t>(image::FormatCode::Png)]);

    AssociationsChangedDialog notSet(m_settings, engine);
    notSet.doNotSetClicked();
    for (bool flag : m_settings.associateFormat) EXPECT_FALSE(flag);
}

}  // namespace
}  // namespace kalder::gui
