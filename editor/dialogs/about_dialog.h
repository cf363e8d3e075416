#pragma once
// The About box frm_About: the product name in relief, the version line, the
// platform the program was built for, and a few lines on what the program
// does, its licence and where its settings live.

#include <QDialog>

class QLabel;
class QPushButton;

class frm_About final : public QDialog {
    Q_OBJECT

public:
    explicit frm_About(QWidget* parent = nullptr);

    QLabel* ProductName = nullptr; // in relief
    QLabel* lab_Version = nullptr;
    QLabel* lab_Platform = nullptr;
    QLabel* lab_ReaderPage = nullptr; // the shipped reader page's SHA-256, when there is one
    QPushButton* cmd_OK = nullptr;

protected:
    // Escape does not close the box; OK, Enter and the close box do.
    void keyPressEvent(QKeyEvent* event) override;

private:
    // The parts beside the picture, in the order they are made.
    void AddProductName();
    void AddColumn();
    void AddReaderPageLine();
    QLabel* AddPlatformLine();
    void AddOkButton();
    void PlacePlatformLine(QLabel* caption);

    // "Version 1.30 - Dec 7, 2026": this build's version and release date.
    static QString VersionText();
    // "64-bit" or "32-bit": the word size of this build.
    static QString PlatformText();
};
