// ArchiveModel: the one item model of the open archive that every view
// style of the main window shows (report over a QTreeView, large icons,
// small icons and list over a QListView), with a proxy for the two sort
// modes (by name, or archive order).
//
// Rows come from the controller as a whole (ListedRow: caption, size,
// folder) and are swapped in with one model reset, so 20,000 entries cost
// one view update. The icon of a row is the theme's icon of the MIME type
// its file name alone suggests, looked up once per extension and cached
// (no file is read); folder entries get the folder icon.
#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QIcon>
#include <QSortFilterProxyModel>
#include <vector>

#include "manager/app/archive_listing.h"

namespace vz::vzip {

class ArchiveModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  enum Column { NameColumn = 0, SizeColumn = 1, PathColumn = 2, ColumnCount = 3 };
  explicit ArchiveModel(QObject* parent = nullptr);

  void setRows(const std::vector<manager::ListedRow>& rows);
  const std::vector<manager::ListedRow>& rows() const { return rows_; }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  // The icon for a file name (cached per lower-cased extension).
  QIcon iconFor(const QString& caption) const;

 private:
  std::vector<manager::ListedRow> rows_;     // the archive's rows in archive order
  std::vector<QString> captions_;            // rows_' captions as QString (display and sort)
  mutable QHash<QString, QIcon> iconCache_;  // extension -> icon
};

// Sorts by caption (case-insensitive) or keeps the source order.
class ArchiveSortProxy : public QSortFilterProxyModel {
  Q_OBJECT
 public:
  explicit ArchiveSortProxy(QObject* parent = nullptr);
  void setSortByName(bool byName);
  bool sortByName() const { return byName_; }

 protected:
  bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

 private:
  bool byName_ = false;  // "Alpha": by caption; else archive order
};

}  // namespace vz::vzip
