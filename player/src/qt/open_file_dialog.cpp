#include "qt/open_file_dialog.h"

#include <sys/stat.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include "qt/file_name_bytes.h"
#include "qt/folder_listing.h"

namespace calendo {
namespace {

constexpr int kNameRole = Qt::UserRole;        // the entry's name, bytes kept
constexpr int kFolderRole = Qt::UserRole + 1;  // whether it is a folder

QString FileDialogText(const char* text) {
  return QCoreApplication::translate("QFileDialog", text);
}

bool IsFolder(const QString& path) {
  struct stat status {};
  return ::stat(FileNameBytes(path).constData(), &status) == 0 && S_ISDIR(status.st_mode);
}

QString Absolute(const QString& path) {
  if (path.startsWith(QLatin1Char('/'))) return path;
  return QDir::currentPath() + QLatin1Char('/') + path;
}

// "/a/b/../c/" as "/a/c"; names with kept bytes stay as they are.
QString Cleaned(const QString& path) {
  QStringList kept;
  for (const QString& part : path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
    if (part == QLatin1String(".")) continue;
    if (part == QLatin1String("..")) {
      if (!kept.isEmpty()) kept.removeLast();
      continue;
    }
    kept << part;
  }
  return QLatin1Char('/') + kept.join(QLatin1Char('/'));
}

}  // namespace

QString ParentFolder(const QString& folder) {
  const qsizetype slash = folder.lastIndexOf(QLatin1Char('/'));
  return slash <= 0 ? QStringLiteral("/") : folder.left(slash);
}

OpenFileDialog::OpenFileDialog(QWidget* parent, const FileDialogRequest& request)
    : QDialog(parent) {
  setWindowTitle(FileDialogText("Open"));

  folder_field_ = new QLineEdit(this);
  auto* up = new QToolButton(this);
  up->setIcon(style()->standardIcon(QStyle::SP_FileDialogToParent));
  up->setToolTip(FileDialogText("Parent Directory"));
  auto* home = new QToolButton(this);
  home->setIcon(style()->standardIcon(QStyle::SP_DirHomeIcon));
  auto* top = new QHBoxLayout;
  top->addWidget(new QLabel(FileDialogText("Look in:"), this));
  top->addWidget(folder_field_, 1);
  top->addWidget(up);
  top->addWidget(home);

  list_ = new QListWidget(this);
  name_field_ = new QLineEdit(this);
  type_box_ = new QComboBox(this);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Open | QDialogButtonBox::Cancel, this);
  // Return is the list's and the name field's own: a default button would
  // take the same key press a second time, after it had entered a folder.
  for (QAbstractButton* button : buttons->buttons()) {
    if (auto* push = qobject_cast<QPushButton*>(button)) push->setAutoDefault(false);
  }
  auto* name_label = new QLabel(FileDialogText("File &name:"), this);
  name_label->setBuddy(name_field_);
  auto* fields = new QGridLayout;
  fields->addWidget(name_label, 0, 0);
  fields->addWidget(name_field_, 0, 1);
  fields->addWidget(new QLabel(FileDialogText("Files of type:"), this), 1, 0);
  fields->addWidget(type_box_, 1, 1);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(list_, 1);
  layout->addLayout(fields);
  layout->addWidget(buttons);
  resize(600, 400);

  const QStringList parts = request.filter.split(QLatin1Char('|'));
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    type_patterns_.push_back(parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts));
    type_box_->addItem(parts[i]);
  }
  if (type_patterns_.empty()) {
    type_patterns_.emplace_back();
    type_box_->addItem(QStringLiteral("*"));
  }

  connect(up, &QToolButton::clicked, this, [this] { ShowFolder(ParentFolder(folder_)); });
  connect(home, &QToolButton::clicked, this, [this] { ShowFolder(QDir::homePath()); });
  connect(folder_field_, &QLineEdit::returnPressed, this, [this] {
    if (!ShowFolder(Cleaned(Absolute(folder_field_->text())))) {
      folder_field_->setText(ShownFileName(folder_));
    }
  });
  connect(list_, &QListWidget::itemActivated, this, &OpenFileDialog::Activated);
  connect(list_, &QListWidget::currentItemChanged, this, &OpenFileDialog::Selected);
  connect(type_box_, &QComboBox::currentIndexChanged, this, &OpenFileDialog::Refill);
  connect(name_field_, &QLineEdit::returnPressed, this, &OpenFileDialog::OpenNamed);
  connect(buttons, &QDialogButtonBox::accepted, this, &OpenFileDialog::OpenNamed);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  if (request.initial_dir.isEmpty() || !ShowFolder(Cleaned(Absolute(request.initial_dir)))) {
    ShowFolder(Cleaned(QDir::currentPath()));
  }
  name_field_->setFocus();
}

bool OpenFileDialog::ShowFolder(const QString& folder) {
  if (!ListFolder(folder)) return false;
  folder_ = folder;
  folder_field_->setText(ShownFileName(folder_));
  Refill();
  return true;
}

void OpenFileDialog::Refill() {
  list_->clear();
  const auto entries = ListFolder(folder_);
  if (!entries) return;
  const int type = type_box_->currentIndex();
  const QStringList patterns = type >= 0 && static_cast<size_t>(type) < type_patterns_.size()
                                   ? type_patterns_[type]
                                   : QStringList();
  for (const FolderEntry& entry : *entries) {
    if (!entry.folder && !MatchesPatterns(entry.name, patterns)) continue;
    auto* item = new QListWidgetItem(
        style()->standardIcon(entry.folder ? QStyle::SP_DirIcon : QStyle::SP_FileIcon),
        ShownFileName(entry.name), list_);
    item->setData(kNameRole, entry.name);
    item->setData(kFolderRole, entry.folder);
  }
}

QString OpenFileDialog::PathOf(const QString& name) const {
  return Cleaned(name.startsWith(QLatin1Char('/')) ? name : folder_ + QLatin1Char('/') + name);
}

void OpenFileDialog::Activated(QListWidgetItem* item) {
  if (item == nullptr) return;
  const QString path = PathOf(item->data(kNameRole).toString());
  if (item->data(kFolderRole).toBool()) {
    ShowFolder(path);
    name_field_->clear();
    return;
  }
  chosen_ = path;
  accept();
}

void OpenFileDialog::Selected(QListWidgetItem* item) {
  if (item != nullptr && !item->data(kFolderRole).toBool()) name_field_->setText(item->text());
}

void OpenFileDialog::OpenNamed() {
  const QString typed = name_field_->text();
  if (typed.isEmpty()) {
    if (QListWidgetItem* item = list_->currentItem()) Activated(item);
    return;
  }
  // A listed name is shown with U+FFFD for its kept bytes: choose it by them.
  QString name = typed;
  const QListWidgetItem* current = list_->currentItem();
  if (current != nullptr && current->text() == typed) name = current->data(kNameRole).toString();
  const QString path = PathOf(name);
  if (IsFolder(path)) {
    ShowFolder(path);
    name_field_->clear();
    return;
  }
  chosen_ = path;
  accept();
}

}  // namespace calendo
