// The options window's model: a copy of the values taken when the window
// opens, edited in memory, written back only by commit().
#include "manager/app/options_model.h"

#include <algorithm>

#include "platform/charcase.h"

namespace vz::manager {

bool looksLikeProgram(const std::string& fileName, bool executable) {
  const size_t dot = fileName.rfind('.');
  // A leading dot names a hidden file, not an extension.
  if (dot == std::string::npos || dot == 0) return executable;
  const std::string ext = toUpper(std::string_view(fileName).substr(dot));
  return ext == ".EXE" || ext == ".COM";
}

OptionsModel::OptionsModel(SettingsStore store) : store_(store) {
  useFavourites = store_.useFavouritesAnyCase();
  baseFolder = store_.baseFolder();
  buttonsHighlight = store_.buttonsHighlight();
  virusProgram = store_.virusProgram();
  virusParam = store_.virusParam();
  setAssociations(store_.associations());
}

void OptionsModel::setAssociations(std::vector<AssociationRow> rows) {
  rows_ = std::move(rows);
  std::stable_sort(rows_.begin(), rows_.end(), [](const AssociationRow& a, const AssociationRow& b) {
    return compareNoCase(a.extension, b.extension) < 0;
  });
}

void OptionsModel::removeAssociation(size_t row) {
  if (row < rows_.size()) rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(row));
}

void OptionsModel::modifyAssociation(size_t row, const std::string& method) {
  if (row < rows_.size()) rows_[row].method = method;
}

void OptionsModel::commit() {
  store_.setUseFavourites(useFavourites);
  store_.replaceAssociations(rows_);
  store_.setVirusProgram(virusProgram);
  store_.setVirusParam(virusParam);
  store_.setBaseFolder(baseFolder);
  store_.setButtonsHighlight(buttonsHighlight);
}

}  // namespace vz::manager
