// The progress window's widgets.
#include "manager/vzip/progress_window.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "manager/app/main_controller.h"

namespace vz::vzip {

ProgressWindow::ProgressWindow(QWidget* parent) : QDialog(parent, Qt::Tool) {
  setWindowTitle(QString::fromLatin1(manager::kProgressCaption));
  setModal(false);
  auto* layout = new QVBoxLayout(this);
  operation_ = new QLabel(QString::fromLatin1(manager::kProgressInitial), this);
  QFont bold = operation_->font();
  bold.setBold(true);
  operation_->setFont(bold);
  feedback_ = new QLabel(this);
  feedback_->setMinimumWidth(320);
  feedback_->setTextFormat(Qt::PlainText);
  bar_ = new QProgressBar(this);
  bar_->setRange(0, 100);
  bar_->setValue(0);
  busy_ = new QProgressBar(this);
  busy_->setRange(0, 0);  // an endless, animated bar
  busy_->setTextVisible(false);
  busy_->setMaximumHeight(8);
  cancel_ = new QPushButton(QStringLiteral("&Cancel"), this);
  connect(cancel_, &QPushButton::clicked, this, &ProgressWindow::reject);
  layout->addWidget(operation_);
  layout->addWidget(feedback_);
  layout->addWidget(bar_);
  layout->addWidget(busy_);
  auto* row = new QHBoxLayout;
  row->addStretch(1);
  row->addWidget(cancel_);
  row->addStretch(1);
  layout->addLayout(row);
  setFixedSize(sizeHint().expandedTo(QSize(380, 0)));
}

void ProgressWindow::open(char letter) {
  const std::string label = manager::progressLabel(letter);
  operation_->setText(QString::fromStdString(label.empty() ? manager::kProgressInitial : label));
  bar_->setValue(0);
  feedback_->clear();
  cancelled_ = false;
  if (parentWidget()) {
    const QRect p = parentWidget()->geometry();
    move(p.center() - rect().center());
  }
  show();
  raise();
}

void ProgressWindow::setPercent(int percent) { bar_->setValue(std::clamp(percent, 0, 100)); }

void ProgressWindow::setFeedback(const QString& text) {
  feedback_->setText(feedback_->fontMetrics().elidedText(text, Qt::ElideMiddle, feedback_->width()));
}

void ProgressWindow::closeWindow() { hide(); }

QString ProgressWindow::operationText() const { return operation_->text(); }

void ProgressWindow::reject() {
  cancelled_ = true;
  if (onCancel) onCancel();
}

}  // namespace vz::vzip
