// The Open dialog of the real program: the files of one folder that match the
// chosen type, and its folders, listed by the names the system keeps. A name
// that is not UTF-8 (a recording named in Latin-1 on an old card) is listed
// with U+FFFD where it cannot be shown and chosen by its bytes; Qt's own file
// dialog would leave it out. Its texts are Qt's file dialog's, in the language
// Qt's translations give.
// Threads: the window thread only.
#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>
#include <vector>

#include "qt/host.h"

class QComboBox;
class QLineEdit;
class QListWidget;
class QListWidgetItem;

namespace calendo {

class OpenFileDialog : public QDialog {
  Q_OBJECT

 public:
  // Starts in request.initial_dir, else the current folder; offers the types
  // of request.filter ("description|patterns|…"), the first chosen.
  OpenFileDialog(QWidget* parent, const FileDialogRequest& request);

  // The folder listed (FileNameFromBytes form, absolute).
  QString Folder() const { return folder_; }
  // Lists `folder`; false, and the list stays, when it cannot be read.
  bool ShowFolder(const QString& folder);

  // The file chosen, once the dialog was accepted (FileNameFromBytes form).
  QString ChosenPath() const { return chosen_; }

  // Chooses what the name field holds: a listed file's name, or a path typed,
  // relative to the folder listed; a folder is listed instead.
  void OpenNamed();

  QListWidget* List() const { return list_; }
  QLineEdit* NameField() const { return name_field_; }
  QComboBox* TypeBox() const { return type_box_; }

 private:
  void Refill();
  void Activated(QListWidgetItem* item);
  void Selected(QListWidgetItem* item);
  QString PathOf(const QString& name) const;

  QString folder_;
  QString chosen_;
  std::vector<QStringList> type_patterns_;  // per entry of type_box_
  QLineEdit* folder_field_ = nullptr;
  QListWidget* list_ = nullptr;
  QLineEdit* name_field_ = nullptr;
  QComboBox* type_box_ = nullptr;
};

// The parent of an absolute folder ("/" stays "/").
QString ParentFolder(const QString& folder);

}  // namespace calendo
