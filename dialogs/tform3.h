// TForm3: the modal folder chooser with a mount selector, a directory list and a file list.
#pragma once

#include <QDialog>
#include <QString>

class TForm3 : public QDialog {
    Q_OBJECT
public:
    // Opens at the process's current folder.
    explicit TForm3(QWidget* parent = nullptr);
    ~TForm3() override;

    // The folder chosen with OK (the current folder, not a highlighted subfolder);
    // empty after Cancel, Esc or the close box.
    QString SelectedPath() const { return m_selectedPath; }

private:
    QString m_selectedPath;
};
