// The archive's rows as a Qt model, with icons by name and the sort proxy.
#include "manager/vzip/archive_model.h"

#include <QApplication>
#include <QMimeDatabase>
#include <QStyle>

namespace vz::vzip {

ArchiveModel::ArchiveModel(QObject* parent) : QAbstractTableModel(parent) {}

void ArchiveModel::setRows(const std::vector<manager::ListedRow>& rows) {
  beginResetModel();
  rows_ = rows;
  captions_.clear();
  captions_.reserve(rows_.size());
  for (const manager::ListedRow& r : rows_) captions_.push_back(QString::fromStdString(r.caption));
  endResetModel();
}

int ArchiveModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ArchiveModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

QIcon ArchiveModel::iconFor(const QString& caption) const {
  QString key;
  if (caption.endsWith('/')) {
    key = QStringLiteral("/");
  } else {
    const int dot = caption.lastIndexOf('.');
    key = dot < 0 ? QString() : caption.mid(dot).toLower();
  }
  auto it = iconCache_.constFind(key);
  if (it != iconCache_.constEnd()) return *it;
  QIcon icon;
  if (key == QStringLiteral("/")) {
    icon = QIcon::fromTheme(QStringLiteral("folder"), QApplication::style()->standardIcon(QStyle::SP_DirIcon));
  } else {
    static const QMimeDatabase db;
    const QMimeType type = db.mimeTypeForFile(key.isEmpty() ? QStringLiteral("noextension") : QStringLiteral("x") + key,
                                              QMimeDatabase::MatchExtension);
    icon = QIcon::fromTheme(type.iconName());
    if (icon.isNull()) icon = QIcon::fromTheme(type.genericIconName());
    if (icon.isNull()) icon = QIcon::fromTheme(QStringLiteral("text-x-generic"));
    if (icon.isNull()) icon = QApplication::style()->standardIcon(QStyle::SP_FileIcon);
  }
  iconCache_.insert(key, icon);
  return icon;
}

QVariant ArchiveModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= static_cast<int>(rows_.size())) return {};
  const manager::ListedRow& r = rows_[static_cast<size_t>(index.row())];
  if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
    switch (index.column()) {
      case NameColumn:
        return captions_[static_cast<size_t>(index.row())];
      case SizeColumn:
        return QString::number(r.size);
      case PathColumn:
        return QString::fromStdString(r.folder);
      default:
        return {};
    }
  }
  if (role == Qt::DecorationRole && index.column() == NameColumn)
    return iconFor(captions_[static_cast<size_t>(index.row())]);
  if (role == Qt::TextAlignmentRole && index.column() == SizeColumn)
    return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
  return {};
}

QVariant ArchiveModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  switch (section) {
    case NameColumn:
      return QStringLiteral("File Name");
    case SizeColumn:
      return QStringLiteral("Size");
    case PathColumn:
      return QStringLiteral("Path");
    default:
      return {};
  }
}

ArchiveSortProxy::ArchiveSortProxy(QObject* parent) : QSortFilterProxyModel(parent) {
  setSortCaseSensitivity(Qt::CaseInsensitive);
}

void ArchiveSortProxy::setSortByName(bool byName) {
  byName_ = byName;
  if (byName)
    sort(ArchiveModel::NameColumn, Qt::AscendingOrder);
  else
    sort(-1);  // the source's (archive) order
}

bool ArchiveSortProxy::lessThan(const QModelIndex& left, const QModelIndex& right) const {
  const int c = QString::compare(left.data().toString(), right.data().toString(), Qt::CaseInsensitive);
  if (c != 0) return c < 0;
  return left.row() < right.row();
}

}  // namespace vz::vzip
