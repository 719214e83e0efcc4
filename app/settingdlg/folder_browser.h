#pragma once
// The folder browser of the save-folder dialog: the toolkit's own (non-native) folder dialog, showing
// folders only, whose confirm button is enabled only while the folder in it is one the program can
// create files in. Links are followed to their targets. GUI thread only.

#include <QFileDialog>
#include <QFileIconProvider>
#include <string>

class QPushButton;

class CFolderBrowser : public QFileDialog {
    Q_OBJECT
  public:
    CFolderBrowser(QWidget* parent, const QString& title, const QString& start_folder);

    // After exec() returned Accepted: the chosen folder, links resolved, with one trailing '/'.
    const std::string& ChosenFolder() const { return chosen_; }

    // The confirm button (tests watch its state).
    QPushButton* OkButton() const;
    // The folder the dialog would return now (typed name or selection, else the folder shown).
    QString CandidateFolder() const;

  public slots:
    void accept() override;

  private slots:
    void UpdateOkButton();

  private:
    // Names entries by kind only: the toolkit's provider reads the start of every file shown to guess
    // its type, which can stall on special files (a kernel log under /proc) or on slow mounts.
    class KindOnlyIcons : public QFileIconProvider {
      public:
        QString type(const QFileInfo& info) const override;
    };

    KindOnlyIcons icons_;
    std::string chosen_;
};
