#pragma once

#include <QAbstractListModel>
#include <QListView>
#include <QStringList>

namespace quill::ui {

class Clipboard;
class WidestLineDelegate;

/// The install log as a list: one row per line of the run, the row being the line's index in the run's
/// lines. It reads those lines where the run keeps them, so the log is stored once. Rows appear only
/// through `showNewLines()`, one insert for all the lines that arrived since the last call.
class InstallLogModel : public QAbstractListModel {
    Q_OBJECT

  public:
    /// `lines` must outlive the model; lines are only ever added at its end.
    explicit InstallLogModel(const QStringList& lines, QObject* parent = nullptr);

    [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;
    [[nodiscard]] Qt::ItemFlags flags(const QModelIndex& index) const override;

    /// Adds the rows of the lines that arrived since the last call.
    void showNewLines();
    [[nodiscard]] const QStringList& lines() const { return m_lines; }

  private:
    const QStringList& m_lines;
    int m_shown = 0;
};

/// The list that shows an install log: one line per row in the log's font, neither wrapped nor elided, as
/// wide as the widest line so far (a long line is reached by scrolling sideways). Rows are selectable, and
/// Copy puts the selected lines on the clipboard, one per line. Resized while at its end, it stays there.
class InstallLogView : public QListView {
    Q_OBJECT

  public:
    InstallLogView(const QStringList& lines, Clipboard& clipboard, QWidget* parent = nullptr);

    /// Shows the lines that arrived since the last call and scrolls to the last.
    void showNewLines();
    /// Puts the selected lines on the clipboard, in the log's order, joined by newlines.
    void copySelection();

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void measure(qsizetype from);

    InstallLogModel* m_model;
    WidestLineDelegate* m_delegate;
    Clipboard& m_clipboard;
    int m_widest = 0;              // the width of the widest line measured so far, in pixels
    qsizetype m_longestPlain = 0;  // the length of the longest plain ASCII line measured so far
};

}  // namespace quill::ui
