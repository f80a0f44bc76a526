#pragma once
// TfrmAbout: the version, the credits (with the translator of the language
// file in use; addresses open in the browser), the licence, the history, the
// keyboard shortcuts, and the machine's memory and system.
#include <QDialog>

#include <cstdint>

class QLabel;
class QPushButton;
class QTabWidget;

namespace velto {

class TRichEditURL;

// The program's version as shown and as compared with the published one.
inline constexpr char kVersionText[] = "Version 1.0";

// The memory label: kilobytes grouped by the locale, with " KB".
QString MemoryText(std::uint64_t bytes);
// The physical memory of the machine in bytes (0 when unknown).
std::uint64_t TotalPhysicalMemory();
// The system's name and kernel.
QString SystemVersionText();
// The shortcut page: the tools' keys, then each menu's commands that have
// keys, then the keys that work anywhere.
QStringList ShortcutLines();

class TfrmAbout : public QDialog {
    Q_OBJECT
public:
    explicit TfrmAbout(QWidget* parent = nullptr);

    QTabWidget* Pages() const { return pages_; }
    QLabel* VersionLabel() const { return lblVersion_; }
    QLabel* SizeLabel() const { return lblSize_; }
    QLabel* MemoryLabel() const { return lblMem_; }
    QLabel* SystemLabel() const { return lblOS_; }
    TRichEditURL* Acknowledgements() const { return memoAcknow_; }
    TRichEditURL* Shortcuts() const { return memoShortcuts_; }
    QPushButton* OKButton() const { return btnOK_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QTabWidget* pages_ = nullptr;
    QLabel* lblVersion_ = nullptr;
    QLabel* lblCopyright_ = nullptr;
    QLabel* lblMem_ = nullptr;
    QLabel* lblSize_ = nullptr;
    QLabel* lblOS_ = nullptr;
    TRichEditURL* memoAcknow_ = nullptr;
    TRichEditURL* memoShortcuts_ = nullptr;
    QPushButton* btnOK_ = nullptr;
};

}  // namespace velto
