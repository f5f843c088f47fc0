#include <gtest/gtest.h>

#include <QDrag>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMimeData>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <cstdlib>
#include <fstream>

#include "app/core/settings.h"
#include "app/gui/folder_tree_pane.h"
#include "shell/file_operations.h"
#include "shell/trash.h"
#include "support/test_support.h"
#include "view/drop_rules.h"

using kalder::gui::FolderTreePane;
using kalder::test::TempDir;
namespace fs = std::filesystem;
namespace shell = kalder::shell;

namespace {

using Kind = FolderTreePane::MessageKind;

// The result of handing a uri-list to the tree as a drag that ends in a drop.
struct DropOutcome {
    bool moveAccepted = false;  // the drag-move over the target was accepted
    fs::path highlighted;       // the item drop-highlighted at that moment
    Qt::DropAction action = Qt::IgnoreAction;
};

DropOutcome deliverDrop(FolderTreePane& tree, QPoint at, const QMimeData* mime,
                        Qt::KeyboardModifiers keys,
                        Qt::DropActions allowed = Qt::CopyAction | Qt::MoveAction) {
    DropOutcome out;
    QDragEnterEvent enter(at, allowed, mime, Qt::LeftButton, keys);
    QApplication::sendEvent(tree.viewport(), &enter);
    if (!enter.isAccepted()) return out;
    QDragMoveEvent move(at, allowed, mime, Qt::LeftButton, keys);
    QApplication::sendEvent(tree.viewport(), &move);
    out.moveAccepted = move.isAccepted();
    out.highlighted = tree.dropTarget();
    if (!out.moveAccepted) {
        QDragLeaveEvent leave;
        QApplication::sendEvent(tree.viewport(), &leave);
        return out;
    }
    QDropEvent drop(QPointF(at), allowed, mime, Qt::LeftButton, keys);
    QApplication::sendEvent(tree.viewport(), &drop);
    if (drop.isAccepted()) out.action = drop.dropAction();
    return out;
}

// A tree whose own folder drags end with a drop at `dropAt` instead of a real drag.
class DragTree : public FolderTreePane {
public:
    QPoint dropAt;
    Qt::KeyboardModifiers keys = Qt::NoModifier;
    DropOutcome outcome;
    void dragCurrent() { startDrag(Qt::CopyAction | Qt::MoveAction); }
    bool editing() const { return state() == QAbstractItemView::EditingState; }
    // Types `name` into the open label editor and accepts it; false when none is open.
    bool typeName(const QString& name) {
        for (QLineEdit* editor : findChildren<QLineEdit*>()) {
            if (!editor->isVisible()) continue;  // an earlier editor on its way out
            editor->setText(name);
            QTest::keyClick(editor, Qt::Key_Return);
            QCoreApplication::processEvents();  // the editor commits after it saw the key
            return true;
        }
        return false;
    }

protected:
    Qt::DropAction runDrag(QDrag* drag) override {
        outcome = deliverDrop(*this, dropAt, drag->mimeData(), keys);
        drag->deleteLater();
        return outcome.action;
    }
};

void makeFile(const fs::path& p) { std::ofstream(p) << "data"; }

// A folder tree over one place, "root", in a temporary folder with its own trash.
struct Tree {
    TempDir dir;
    fs::path root;
    std::unique_ptr<shell::Trash> trash;
    std::unique_ptr<shell::FileOperations> operations;
    kalder::app::Settings settings;
    DragTree tree;
    std::vector<std::pair<Kind, QString>> messages;
    bool answer = true;

    Tree() : root(dir / "root") {
        fs::create_directories(root);
        fs::create_directories(dir / "data");
        ::setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
        trash = std::make_unique<shell::Trash>();
        operations = std::make_unique<shell::FileOperations>(*trash);
        tree.setPlaces({{"Root", root, shell::PlaceKind::Home}});
        tree.setFileOperations(operations.get());
        tree.setSettings(&settings);
        tree.setMessageHook([this](Kind kind, const QString& text) {
            messages.emplace_back(kind, text);
            return answer;
        });
        tree.resize(400, 600);
        tree.show();
    }
    QTreeWidgetItem* place() { return tree.topLevelItem(0); }
    static QStringList names(const QTreeWidgetItem* item) {
        QStringList out;
        for (int i = 0; i < item->childCount(); ++i) out << item->child(i)->text(0);
        return out;
    }
    QTreeWidgetItem* item(const fs::path& folder) {
        if (!tree.setCurrentFolder(folder)) return nullptr;
        return tree.currentItem();
    }
    QPoint pointOf(const fs::path& folder) { return tree.visualItemRect(item(folder)).center(); }
    DropOutcome dropFiles(const std::vector<fs::path>& files, const fs::path& onto,
                          Qt::KeyboardModifiers keys = Qt::NoModifier) {
        QMimeData mime;
        mime.setData("text/uri-list",
                     QByteArray::fromStdString(kalder::view::formatUriList(files)));
        return deliverDrop(tree, pointOf(onto), &mime, keys);
    }
};

QString q(const fs::path& p) { return QString::fromStdString(p.string()); }

TEST(FolderTree, ChildrenAreListedOnExpandAndDroppedOnCollapse) {
    Tree t;
    for (const char* sub : {"a/deep", "B", "c", ".hidden/x"}) fs::create_directories(t.root / sub);
    makeFile(t.root / "picture.png");
    QTreeWidgetItem* place = t.place();
    EXPECT_EQ(place->childCount(), 0);
    EXPECT_EQ(place->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);

    t.tree.expandItem(place);
    ASSERT_EQ(Tree::names(place), (QStringList{"a", "B", "c"}));
    EXPECT_EQ(place->child(0)->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
    EXPECT_EQ(place->child(1)->childIndicatorPolicy(),
              QTreeWidgetItem::DontShowIndicatorWhenChildless);
    EXPECT_EQ(place->child(0)->childCount(), 0);  // not listed before it is opened

    // Collapsing forgets the children but keeps the button; the next expansion sees the disk anew.
    fs::create_directories(t.root / "Another");
    t.tree.collapseItem(place);
    EXPECT_EQ(place->childCount(), 0);
    EXPECT_EQ(place->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
    t.tree.expandItem(place);
    EXPECT_EQ(Tree::names(place), (QStringList{"a", "Another", "B", "c"}));

    // A refresh adds and removes children and keeps an opened one's sub-tree.
    t.tree.expandItem(place->child(0));
    fs::remove(t.root / "c");
    fs::create_directories(t.root / "b2");
    t.tree.refreshFolder(t.root);
    EXPECT_EQ(Tree::names(place), (QStringList{"a", "Another", "B", "b2"}));
    EXPECT_EQ(Tree::names(place->child(0)), QStringList{"deep"});

    // Folders another program makes or removes in opened folders come and go by themselves.
    fs::create_directories(t.root / "a" / "fresh");
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return Tree::names(place->child(0)) == QStringList({"deep", "fresh"});
        },
        5000));
    fs::remove(t.root / "b2");
    EXPECT_TRUE(QTest::qWaitFor([&] { return !Tree::names(place).contains("b2"); }, 5000));

    // A folder that turns out to have no sub-folders loses its button when opened.
    QTreeWidgetItem* another = place->child(1);
    another->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    t.tree.expandItem(another);
    EXPECT_EQ(another->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

TEST(FolderTree, SetCurrentFolderOpensTheWayWithoutTellingAndClicksTell) {
    Tree t;
    fs::create_directories(t.root / "one/two/three/four");
    fs::create_directories(t.root / ".config/app");
    makeFile(t.root / "file.txt");
    QSignalSpy chosen(&t.tree, &FolderTreePane::folderChosen);

    ASSERT_TRUE(t.tree.setCurrentFolder(t.root / "one/two/three/four/"));
    EXPECT_EQ(t.tree.currentFolder(), t.root / "one/two/three/four");
    EXPECT_EQ(t.tree.currentItem()->text(0), "four");
    EXPECT_TRUE(t.tree.currentItem()->parent()->parent()->isExpanded());
    // A hidden folder is not listed, but it can still be shown.
    ASSERT_TRUE(t.tree.setCurrentFolder(t.root / ".config/app"));
    EXPECT_EQ(t.tree.currentItem()->parent()->text(0), ".config");
    EXPECT_FALSE(t.tree.setCurrentFolder(t.root / "file.txt"));
    EXPECT_FALSE(t.tree.setCurrentFolder(t.root / "missing"));
    EXPECT_FALSE(t.tree.setCurrentFolder(t.dir.path()));  // outside every place
    EXPECT_EQ(chosen.count(), 0);

    QTreeWidgetItem* one = t.item(t.root / "one");
    t.tree.setCurrentItem(t.place());
    chosen.clear();
    QTest::mouseClick(t.tree.viewport(), Qt::LeftButton, Qt::NoModifier,
                      t.tree.visualItemRect(one).center());
    ASSERT_EQ(chosen.count(), 1);
    EXPECT_EQ(chosen.at(0).at(0).toString(), q(t.root / "one"));

    // Collapsing above the selection moves it up, and the browser follows.
    t.tree.setCurrentFolder(t.root / "one/two/three");
    chosen.clear();
    t.tree.collapseItem(one);
    EXPECT_EQ(t.tree.currentFolder(), t.root / "one");
    ASSERT_EQ(chosen.count(), 1);
    EXPECT_EQ(chosen.at(0).at(0).toString(), q(t.root / "one"));
}

TEST(FolderTree, PreviousAndNextFolderWalkTheSiblings) {
    Tree t;
    for (const char* sub : {"a", "b", "c"}) fs::create_directories(t.root / sub);
    t.tree.setCurrentFolder(t.root / "a");
    QSignalSpy chosen(&t.tree, &FolderTreePane::folderChosen);
    EXPECT_FALSE(t.tree.selectSibling(-1));
    EXPECT_TRUE(t.tree.selectSibling(+1));
    EXPECT_TRUE(t.tree.selectSibling(+1));
    EXPECT_FALSE(t.tree.selectSibling(+1));
    EXPECT_EQ(t.tree.currentFolder(), t.root / "c");
    ASSERT_EQ(chosen.count(), 2);
    EXPECT_EQ(chosen.at(1).at(0).toString(), q(t.root / "c"));
    t.tree.setCurrentItem(t.place());
    EXPECT_FALSE(t.tree.selectSibling(+1));  // the only place
}

TEST(FolderTree, NewFolderNamesAndEditing) {
    Tree t;
    t.tree.setCurrentFolder(t.root);
    for (int i = 0; i < 6; ++i) {
        t.tree.setCurrentFolder(t.root);
        ASSERT_TRUE(t.tree.newFolder()) << i;
        EXPECT_TRUE(t.tree.editing());
    }
    // In name order the time-suffixed one sorts between "New Folder 3" and "New Folder 4".
    const QStringList names = Tree::names(t.place());
    ASSERT_EQ(names.size(), 6);
    EXPECT_EQ(names.mid(0, 3), (QStringList{"New Folder", "New Folder 2", "New Folder 3"}));
    EXPECT_EQ(names.mid(4), (QStringList{"New Folder 4", "New Folder 5"}));
    EXPECT_TRUE(QRegularExpression("^New Folder \\d{9}$").match(names[3]).hasMatch())
        << names[3].toStdString();
    EXPECT_TRUE(fs::is_directory(t.root / names[3].toStdString()));
    EXPECT_TRUE(t.messages.empty());

    // The new folder's name can be typed at once.
    t.tree.setCurrentFolder(t.root / "New Folder 3");
    ASSERT_TRUE(t.tree.newFolder());
    ASSERT_TRUE(t.tree.typeName("Holidays"));
    EXPECT_TRUE(fs::is_directory(t.root / "New Folder 3/Holidays"));
    EXPECT_EQ(t.tree.currentFolder(), t.root / "New Folder 3/Holidays");

    // A folder that vanished cannot take a new one.
    t.tree.setCurrentFolder(t.root / "New Folder 4");
    fs::remove(t.root / "New Folder 4");
    EXPECT_FALSE(t.tree.newFolder());
    ASSERT_EQ(t.messages.size(), 1u);
    EXPECT_EQ(t.messages[0],
              std::make_pair(Kind::Critical, QStringLiteral("Cannot create the folder.")));
}

TEST(FolderTree, RenameInPlace) {
    Tree t;
    fs::create_directories(t.root / "a/inner");
    fs::create_directories(t.root / "taken");
    QSignalSpy renamed(&t.tree, &FolderTreePane::folderRenamed);

    t.tree.setCurrentItem(t.place());
    EXPECT_FALSE(t.tree.renameCurrent());  // a place keeps its name
    EXPECT_FALSE(t.tree.editing());

    t.tree.setCurrentFolder(t.root / "a/inner");
    t.tree.setCurrentFolder(t.root / "a");
    ASSERT_TRUE(t.tree.renameCurrent());
    ASSERT_TRUE(t.tree.typeName("Trips"));
    EXPECT_TRUE(fs::is_directory(t.root / "Trips/inner"));
    EXPECT_EQ(t.tree.currentItem()->text(0), "Trips");
    EXPECT_EQ(t.tree.currentFolder(), t.root / "Trips");
    ASSERT_EQ(renamed.count(), 1);
    EXPECT_EQ(renamed.at(0).at(0).toString(), q(t.root / "a"));
    EXPECT_EQ(renamed.at(0).at(1).toString(), q(t.root / "Trips"));
    // The open child follows its parent's new path.
    ASSERT_EQ(t.tree.currentItem()->childCount(), 1);
    t.tree.setCurrentItem(t.tree.currentItem()->child(0));
    EXPECT_EQ(t.tree.currentFolder(), t.root / "Trips/inner");

    // An existing name is refused: the message shows and the label stays.
    t.tree.setCurrentFolder(t.root / "Trips");
    ASSERT_TRUE(t.tree.renameCurrent());
    ASSERT_TRUE(t.tree.typeName("taken"));
    EXPECT_EQ(t.tree.currentItem()->text(0), "Trips");
    EXPECT_TRUE(fs::is_directory(t.root / "Trips"));
    ASSERT_EQ(t.messages.size(), 1u);
    EXPECT_EQ(t.messages[0].first, Kind::Critical);
    EXPECT_EQ(renamed.count(), 1);
}

TEST(FolderTree, DeleteGoesToTheTrashAfterAsking) {
    Tree t;
    fs::create_directories(t.root / "a/only");
    fs::create_directories(t.root / "b");
    QSignalSpy chosen(&t.tree, &FolderTreePane::folderChosen);

    t.tree.setCurrentFolder(t.root / "a/only");
    t.answer = false;
    QTest::keyClick(&t.tree, Qt::Key_Delete);
    EXPECT_TRUE(fs::exists(t.root / "a/only"));
    ASSERT_EQ(t.messages.size(), 1u);
    EXPECT_EQ(t.messages[0].first, Kind::Question);
    EXPECT_TRUE(t.messages[0].second.contains(q(t.root / "a/only")));

    t.answer = true;
    ASSERT_TRUE(t.tree.deleteCurrent());
    EXPECT_FALSE(fs::exists(t.root / "a/only"));
    const auto trashed = t.trash->list();
    ASSERT_EQ(trashed.size(), 1u);
    EXPECT_EQ(trashed[0].originalPath, t.root / "a/only");
    // The parent lost its only child: closed, without a button, and shown instead.
    QTreeWidgetItem* a = t.tree.currentItem();
    EXPECT_EQ(t.tree.currentFolder(), t.root / "a");
    EXPECT_EQ(a->childCount(), 0);
    EXPECT_FALSE(a->isExpanded());
    EXPECT_EQ(a->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicatorWhenChildless);
    ASSERT_EQ(chosen.count(), 1);
    EXPECT_EQ(chosen.at(0).at(0).toString(), q(t.root / "a"));

    // A place is never deleted, and nobody is asked.
    t.messages.clear();
    t.tree.setCurrentItem(t.place());
    EXPECT_FALSE(t.tree.deleteCurrent());
    EXPECT_TRUE(t.messages.empty());
    EXPECT_TRUE(fs::exists(t.root));
}

TEST(FolderTree, DroppedFilesAreMovedOrCopiedByKeysAndOption) {
    Tree t;
    fs::create_directories(t.root / "target");
    fs::create_directories(t.root / "source");
    for (const char* name : {"1.png", "2.png", "3.png", "4.png"})
        makeFile(t.root / "source" / name);
    const fs::path src = t.root / "source", dst = t.root / "target";
    QSignalSpy dropped(&t.tree, &FolderTreePane::filesDropped);

    // Explorer-like (the default): a plain drop moves, Ctrl copies.
    DropOutcome out = t.dropFiles({src / "1.png"}, dst);
    EXPECT_TRUE(out.moveAccepted);
    EXPECT_EQ(out.highlighted, dst);
    EXPECT_EQ(out.action, Qt::MoveAction);
    EXPECT_FALSE(fs::exists(src / "1.png"));
    EXPECT_TRUE(fs::exists(dst / "1.png"));
    EXPECT_EQ(t.tree.dropTarget(), fs::path());  // the highlight goes with the drop
    ASSERT_EQ(dropped.count(), 1);
    EXPECT_EQ(dropped.at(0).at(0).toStringList(), QStringList{q(src / "1.png")});
    EXPECT_EQ(dropped.at(0).at(1).toString(), q(dst));
    EXPECT_TRUE(dropped.at(0).at(2).toBool());

    out = t.dropFiles({src / "2.png"}, dst, Qt::ControlModifier);
    EXPECT_EQ(out.action, Qt::CopyAction);
    EXPECT_TRUE(fs::exists(src / "2.png"));
    EXPECT_TRUE(fs::exists(dst / "2.png"));

    // The other way round: a plain drop copies, Alt or Shift moves.
    t.settings.controlOptions[2] = 0;
    out = t.dropFiles({src / "3.png"}, dst);
    EXPECT_EQ(out.action, Qt::CopyAction);
    EXPECT_TRUE(fs::exists(src / "3.png"));
    out = t.dropFiles({src / "4.png"}, dst, Qt::AltModifier);
    EXPECT_EQ(out.action, Qt::MoveAction);
    EXPECT_FALSE(fs::exists(src / "4.png"));
    EXPECT_TRUE(fs::exists(dst / "4.png"));
    EXPECT_TRUE(t.messages.empty());

    // Something already there is kept unless the user says to replace it.
    t.answer = false;
    out = t.dropFiles({src / "2.png"}, dst);
    EXPECT_EQ(out.action, Qt::IgnoreAction);
    ASSERT_EQ(t.messages.size(), 1u);
    EXPECT_EQ(t.messages[0].first, Kind::Question);

    // A list without local files is no drag for the tree.
    QMimeData web;
    web.setData("text/uri-list", "https://example.com/a.png\r\n");
    out = deliverDrop(t.tree, t.pointOf(dst), &web, Qt::NoModifier);
    EXPECT_FALSE(out.moveAccepted);
}

TEST(FolderTree, AskBeforeDropAnsweredNoChangesNothing) {
    Tree t;
    fs::create_directories(t.root / "target");
    makeFile(t.root / "a.png");
    makeFile(t.root / "b.png");
    t.settings.controlOptions[3] = 1;
    t.answer = false;
    QSignalSpy dropped(&t.tree, &FolderTreePane::filesDropped);
    const DropOutcome out = t.dropFiles({t.root / "a.png", t.root / "b.png"}, t.root / "target");
    EXPECT_EQ(out.action, Qt::IgnoreAction);
    EXPECT_TRUE(fs::exists(t.root / "a.png"));
    EXPECT_FALSE(fs::exists(t.root / "target/a.png"));
    EXPECT_EQ(dropped.count(), 0);
    ASSERT_EQ(t.messages.size(), 1u);
    EXPECT_EQ(t.messages[0], std::make_pair(Kind::Question, "Do you want to move 2 item(s) to " +
                                                                q(t.root / "target") + "?"));
}

TEST(FolderTree, FolderDraggedInsideTheTree) {
    Tree t;
    fs::create_directories(t.root / "a/sub/deeper");
    fs::create_directories(t.root / "b");
    makeFile(t.root / "a/keep.png");
    const fs::path a = t.root / "a";

    // Onto its own parent or itself: no highlight, no drop.
    for (const fs::path& over : {t.root, a}) {
        t.tree.dropAt = t.pointOf(over);
        t.tree.setCurrentFolder(a);
        t.tree.dragCurrent();
        EXPECT_FALSE(t.tree.outcome.moveAccepted) << over;
        EXPECT_EQ(t.tree.outcome.highlighted, fs::path()) << over;
    }
    // Onto one of its sub-folders: refused with the message.
    t.tree.dropAt = t.pointOf(a / "sub/deeper");
    t.tree.setCurrentFolder(a);
    t.tree.dragCurrent();
    EXPECT_TRUE(t.tree.outcome.moveAccepted);
    EXPECT_EQ(t.tree.outcome.action, Qt::IgnoreAction);
    ASSERT_EQ(t.messages.size(), 1u);
    EXPECT_EQ(t.messages[0],
              std::make_pair(Kind::Critical, QString(kalder::view::kOwnSubFolderMessage)));
    EXPECT_TRUE(fs::exists(a / "sub/deeper"));

    // Onto a sibling: it moves there and leaves its old place in the tree.
    QSignalSpy chosen(&t.tree, &FolderTreePane::folderChosen);
    t.tree.dropAt = t.pointOf(t.root / "b");
    t.tree.setCurrentFolder(a);
    t.tree.dragCurrent();
    EXPECT_EQ(t.tree.outcome.action, Qt::MoveAction);
    EXPECT_TRUE(fs::exists(t.root / "b/a/keep.png"));
    EXPECT_FALSE(fs::exists(a));
    EXPECT_EQ(Tree::names(t.place()), QStringList{"b"});
    EXPECT_EQ(t.tree.currentFolder(), t.root);
    ASSERT_GE(chosen.count(), 1);
    EXPECT_EQ(chosen.last().at(0).toString(), q(t.root));
    ASSERT_TRUE(t.tree.setCurrentFolder(t.root / "b/a/sub"));
}

}  // namespace

TEST(FolderTree, ADragRestingOnAFolderOpensItAndLeavingCancels) {
    Tree t;
    for (const char* sub : {"a/deep", "b/deeper"}) fs::create_directories(t.root / sub);
    t.tree.expandItem(t.place());
    QTreeWidgetItem* a = t.item(t.root / "a");
    QTreeWidgetItem* b = t.item(t.root / "b");
    ASSERT_TRUE(a && b);
    ASSERT_FALSE(a->isExpanded());
    QMimeData mime;
    mime.setData("text/uri-list",
                 QByteArray::fromStdString(kalder::view::formatUriList({t.root / "x"})));
    const auto hover = [&](QTreeWidgetItem* item) {
        const QPoint at = t.tree.visualItemRect(item).center();
        QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(t.tree.viewport(), &enter);
        QDragMoveEvent move(at, Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton,
                            Qt::NoModifier);
        QApplication::sendEvent(t.tree.viewport(), &move);
    };
    QElapsedTimer resting;
    resting.start();
    hover(a);
    ASSERT_TRUE(QTest::qWaitFor([&] { return a->isExpanded(); }, 2000));
    EXPECT_GE(resting.elapsed(), 200) << "not at once";
    EXPECT_EQ(Tree::names(a), QStringList{QStringLiteral("deep")});

    hover(b);
    QDragLeaveEvent leave;
    QApplication::sendEvent(t.tree.viewport(), &leave);
    EXPECT_FALSE(QTest::qWaitFor([&] { return b->isExpanded(); }, 900))
        << "a drag that left opens nothing";
}

TEST(FolderTree, ANewDriveAppearsAndTheChosenFolderStaysChosen) {
    Tree t;
    fs::create_directories(t.root / "a" / "b");
    fs::create_directories(t.dir / "drive");
    ASSERT_TRUE(t.tree.setCurrentFolder(t.root / "a" / "b"));
    QSignalSpy chosen(&t.tree, &FolderTreePane::folderChosen);
    const std::vector<shell::Place> same{{"Root", t.root, shell::PlaceKind::Home}};
    EXPECT_FALSE(t.tree.updatePlaces(same));
    std::vector<shell::Place> more = same;
    more.push_back({"drive", t.dir / "drive", shell::PlaceKind::Removable});
    EXPECT_TRUE(t.tree.updatePlaces(more));
    ASSERT_EQ(t.tree.topLevelItemCount(), 2);
    EXPECT_EQ(t.tree.topLevelItem(1)->text(0), QStringLiteral("drive"));
    EXPECT_EQ(t.tree.currentFolder(), t.root / "a" / "b");
    EXPECT_EQ(chosen.count(), 0) << "nothing is loaded again for it";
}
