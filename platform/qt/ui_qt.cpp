// Message boxes, the edit-field question and the file choosers over Qt.
#include "platform/qt/ui_qt.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace vz::ui {

namespace {

QString qs(const std::string& s) { return QString::fromStdString(s); }

QMessageBox::Icon boxIcon(Icon i) {
  switch (i) {
    case Icon::Information:
      return QMessageBox::Information;
    case Icon::Warning:
      return QMessageBox::Warning;
    case Icon::Error:
      return QMessageBox::Critical;
    case Icon::Question:
      return QMessageBox::Question;
    case Icon::None:
      break;
  }
  return QMessageBox::NoIcon;
}

const Button* defaultButton(const Question& q) {
  for (const Button& b : q.buttons)
    if (b.isDefault && !b.disabled) return &b;
  for (const Button& b : q.buttons)
    if (!b.disabled) return &b;
  return nullptr;
}

Answer askWithBox(QWidget* parent, const Question& q) {
  QMessageBox box(boxIcon(q.icon), qs(q.caption), qs(q.text), QMessageBox::NoButton, parent);
  std::vector<std::pair<QPushButton*, int>> buttons;
  const Button* def = defaultButton(q);
  for (const Button& b : q.buttons) {
    QPushButton* pb = box.addButton(qs(b.text), QMessageBox::ActionRole);
    pb->setEnabled(!b.disabled);
    if (&b == def) box.setDefaultButton(pb);
    buttons.emplace_back(pb, b.id);
  }
  box.exec();
  for (const auto& [pb, id] : buttons)
    if (box.clickedButton() == pb) return Answer{id, {}};
  return Answer{q.closeId, {}};
}

Answer askWithEdit(QWidget* parent, const Question& q) {
  QDialog dlg(parent);
  dlg.setWindowTitle(qs(q.caption));
  auto* layout = new QVBoxLayout(&dlg);
  if (!q.text.empty()) {
    auto* text = new QLabel(qs(q.text), &dlg);
    text->setWordWrap(true);
    layout->addWidget(text);
  }
  const EditField& e = *q.edit;
  QLineEdit* line = nullptr;
  auto* row = new QHBoxLayout;
  if (!e.label.empty()) row->addWidget(new QLabel(qs(e.label), &dlg));
  if (!e.choices.empty()) {
    auto* combo = new QComboBox(&dlg);
    combo->setEditable(true);
    for (const std::string& c : e.choices) combo->addItem(qs(c));
    combo->setCurrentText(qs(e.initial));
    line = combo->lineEdit();
    row->addWidget(combo, 1);
  } else {
    line = new QLineEdit(qs(e.initial), &dlg);
    row->addWidget(line, 1);
  }
  if (e.maxLength > 0) line->setMaxLength(e.maxLength);
  if (e.masked) line->setEchoMode(QLineEdit::Password);
  layout->addLayout(row);
  auto* buttonRow = new QHBoxLayout;
  buttonRow->addStretch(1);
  int chosen = q.closeId;
  const Button* def = defaultButton(q);
  std::vector<std::pair<QPushButton*, const Button*>> needText;
  for (const Button& b : q.buttons) {
    auto* pb = new QPushButton(qs(b.text), &dlg);
    pb->setEnabled(!b.disabled && (!b.needsEditText || !line->text().isEmpty()));
    if (&b == def) pb->setDefault(true);
    if (b.needsEditText && !b.disabled) needText.emplace_back(pb, &b);
    QObject::connect(pb, &QPushButton::clicked, &dlg, [&dlg, &chosen, id = b.id] {
      chosen = id;
      dlg.accept();
    });
    buttonRow->addWidget(pb);
  }
  QObject::connect(line, &QLineEdit::textChanged, &dlg, [&needText](const QString& t) {
    for (auto& [pb, b] : needText) pb->setEnabled(!t.isEmpty());
  });
  layout->addLayout(buttonRow);
  line->setFocus();
  dlg.exec();
  return Answer{chosen, line->text().toStdString()};
}

}  // namespace

QStringList qtNameFilters(const std::string& filter) {
  QStringList parts = qs(filter).split('|');
  QStringList out;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    if (parts[i].isEmpty()) break;
    QStringList patterns;
    for (const QString& p : parts[i + 1].split(';', Qt::SkipEmptyParts)) {
      patterns << p.toUpper();
      if (p.toLower() != p.toUpper()) patterns << p.toLower();
    }
    out << parts[i] + " (" + patterns.join(' ') + ")";
  }
  return out;
}

Answer QtBackend::ask(const Question& q) { return q.edit ? askWithEdit(parent_, q) : askWithBox(parent_, q); }

std::vector<std::string> QtBackend::chooseFiles(const FileChooser& c) {
  QFileDialog dlg(parent_, qs(c.caption), qs(c.initialFolder));
  dlg.setNameFilters(qtNameFilters(c.filter));
  dlg.setAcceptMode(c.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  if (!c.save) dlg.setFileMode(c.allowMultiple ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
  if (!c.initialName.empty()) dlg.selectFile(qs(c.initialName));
  if (!c.okText.empty()) dlg.setLabelText(QFileDialog::Accept, qs(c.okText));
  if (!c.cancelText.empty()) dlg.setLabelText(QFileDialog::Reject, qs(c.cancelText));
  std::vector<std::string> out;
  if (dlg.exec() != QDialog::Accepted) return out;
  for (const QString& f : dlg.selectedFiles()) out.push_back(f.toStdString());
  return out;
}

std::optional<std::string> QtBackend::chooseFolder(const FolderChooser& c) {
  const QString dir = QFileDialog::getExistingDirectory(parent_, qs(c.caption), qs(c.initialFolder));
  if (dir.isEmpty()) return std::nullopt;
  return dir.toStdString();
}

std::shared_ptr<QtBackend> installQtUiBackend(QWidget* parent) {
  auto b = std::make_shared<QtBackend>(parent);
  setBackend(b);
  return b;
}

}  // namespace vz::ui
