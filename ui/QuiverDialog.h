#pragma once
// The base of every Quiver dialog: data exchange between a dialog's fields
// and its controls, a fixed size in dialog units of the dialog's font, the
// system file dialogs, the help window and centring.
//
// A control is known by its object name in the dialog's layout (res/*.ui):
// the dialog's code reaches it through the generated form, everything else
// through Control().

#include <QDialog>
#include <QStringList>

#include <cstdint>
#include <initializer_list>
#include <string>

class QAbstractButton;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

class CQuiverDialog : public QDialog {
  Q_OBJECT

 public:
  explicit CQuiverDialog(QWidget* parent);

  // Registers the program's resources (icon, help pages); every dialog
  // does so on construction.
  static void InitResources();

  // Copies the controls into the fields.
  void Collect() { DoDataExchange(true); }
  // Shows the fields in the controls.
  void Refresh() { DoDataExchange(false); }
  // The child control named `name` in the layout; nullptr when there is none.
  QWidget* Control(const char* name) const;

  // The OK command: collect, then end the modal loop with Accepted.
  void accept() override;

 protected:
  // The window frames of the program's dialogs: a caption with a close box
  // (boxes), that plus a minimise box (the main windows), a caption alone.
  enum class Frame { Box, MainWindow, CaptionOnly };
  void SetFrame(Frame frame);
  // The help command: `button` and the F1 key show the help page `context`.
  void ConnectHelp(QAbstractButton* button, int context);

  // Whether `event` is the keyboard focus leaving a control for another
  // control of the same window. The window losing the keyboard (to another
  // program, or to a message box or dialog it opens) and a context menu
  // opening are no leaving.
  static bool IsLeaving(const QEvent* event);

  // Both directions of the data exchange (`save`: controls to fields).
  virtual void DoDataExchange(bool save);

  // Fixes the window at `width` by `height` dialog units of its font (a
  // horizontal unit is a quarter of the average character width, a vertical
  // one an eighth of the character height), grown where the layout needs
  // more room. A `widenable` window starts at that size and keeps its
  // height, but the user may make it wider (never narrower).
  void SetDialogUnitSize(int width, int height, bool widenable = false);
  // Path fields: the whole text is the field's tooltip, kept in step with
  // every change, so that a path longer than the field can still be read.
  static void ShowWholeTextAsToolTip(std::initializer_list<QLineEdit*> edits);
  // Centres the window over its owner when the owner is visible and not
  // minimised, otherwise over the screen.
  void CenterWindow();

  // The system file dialog, without owner window: `open` picks an existing
  // file, otherwise a file to create (confirming an overwrite). `filters` are
  // Qt name filters such as "All Files (*)". On entry `path` is the initial
  // file name; true when the user confirmed, with `path` the full path chosen.
  virtual bool PromptForFile(bool open, const QString& title, const QStringList& filters,
                             std::string& path);
  // The program's help page for `context` in a help window beside this one;
  // "Failed to launch help." when there is no such page.
  virtual void ShowHelp(int context);

  // A read-only field shows the beginning of its text.
  static void Exchange(bool save, QLineEdit* edit, std::string& value);
  // Position of the selected entry; -1 selects nothing and is what a list
  // without a selection collects.
  static void Exchange(bool save, QComboBox* list, int32_t& value);
  // Non-zero ticks the box; collecting gives 0 or 1.
  static void Exchange(bool save, QCheckBox* box, int32_t& value);
  static void Exchange(bool save, QLabel* label, std::string& value);
};
