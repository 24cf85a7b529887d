#pragma once
// The folder information panel of the all-videos view: where videos are saved and backed up,
// and how many there are. The text is a pure function; UI thread only for the rest.

#include <QLabel>
#include <QString>

namespace tolvek {

// Three lines joined with CR LF: the backup folder (or message 23 when it is not set), the save
// folder, and the number of listed videos with at least three digits.
QString folderPanelText(const QString& backupFolder, const QString& saveFolder, int videoCount, int language);

// A folder chosen in the picker is kept only when it is a real folder path: shorter texts (a
// bare root) keep the previous value.
QString acceptedFolderChoice(const QString& previous, const QString& chosen);

// The distance between the panel's text lines: the font's own line spacing, closer where the
// lines would not fit the panel's height otherwise (CJK faces space their lines widely).
int folderPanelLinePitch(int lineSpacing, int panelHeight, int lines);

// The panel: its lines drawn at folderPanelLinePitch, so all three show in the panel's height
// whatever face stands in for the panel font.
class FolderPanelLabel : public QLabel
{
  public:
    using QLabel::QLabel;

  protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace tolvek
