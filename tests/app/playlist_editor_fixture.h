// The playlist editor's tests: the main window beside it, as the player runs
// them, and the editor's controls found by their names.
#pragma once

#include <gtest/gtest.h>

#include <QListView>
#include <QPushButton>
#include <algorithm>
#include <initializer_list>
#include <string>

#include "app/playlist_editor.h"
#include "tests/app/app_test_support.h"
#include "tests/app/dialog_driving.h"

namespace vek::app::test {

class PlaylistEditorTest : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        ForgetQuitRequest();
    }
    void TearDown() override {
        ClosePlaylistEditor();
        WindowTest::TearDown();
    }

    QWidget* ShowEditor() {
        EXPECT_TRUE(ShowPlaylistEditor());
        Pump(10);
        return PlaylistEditorWindow();
    }
    static QListView* List() {
        return PlaylistEditorWindow()->findChild<QListView*>(QStringLiteral("list"));
    }
    static QPushButton* Button(const char* name) {
        return PlaylistEditorWindow()->findChild<QPushButton*>(QString::fromLatin1(name));
    }
    static QStringList Lines() {
        QStringList lines;
        QAbstractItemModel* model = List()->model();
        for (int row = 0; row < model->rowCount(); ++row)
            lines << model->index(row, 0).data().toString();
        return lines;
    }
    static QList<int> SelectedRows() {
        QList<int> rows;
        for (const QModelIndex& index : List()->selectionModel()->selectedIndexes())
            rows << index.row();
        std::sort(rows.begin(), rows.end());
        return rows;
    }
    static void Select(std::initializer_list<int> rows) {
        QItemSelectionModel* selection = List()->selectionModel();
        selection->clear();
        for (int row : rows)
            selection->select(List()->model()->index(row, 0), QItemSelectionModel::Select);
    }
    static void AppendAll(std::initializer_list<std::string> paths) {
        for (const std::string& path : paths) ASSERT_TRUE(AppendEntry(path.c_str()));
    }

    vek::test::TempDir dir_;
};

}  // namespace vek::app::test
