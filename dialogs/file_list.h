// FileList: the folder chooser's list of the current folder's files, names only.
#pragma once

#include <QListWidget>

#include <string>

namespace picbatch {

class FileList : public QListWidget {
    Q_OBJECT
public:
    explicit FileList(QWidget* parent = nullptr);

    // Lists folder's files with the source listing's filter and order, unless folder is
    // the one listed already.
    void SetFolder(const std::string& folder);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::string m_folder;
    bool m_listed = false;
};

}  // namespace picbatch
