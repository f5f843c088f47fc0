#pragma once

#include <QDialog>
#include <QImage>
#include <QString>

class QDialogButtonBox;
class QLabel;
class QPushButton;

namespace kalder::gui {

// What every dialog of ours shares, keyed by its template number in the dialog help table:
// tooltips on chosen controls, the "&Help" button opening the dialog's help topic, and a banner
// picture. A dialog without a row in the table gets none of the three.
//
// A derived dialog builds its controls in its constructor, gives caption-less controls their
// identifiers with setControlId(), puts bannerLabel() and helpButton() (or standardButtons())
// where they belong, and calls OnInitDialog() last.
class DialogBase : public QDialog {
    Q_OBJECT
public:
    explicit DialogBase(int templateNumber, QWidget* parent = nullptr);

    int templateNumber() const { return m_templateNumber; }

    // Attaches the table's tooltips and shows the banner.
    void OnInitDialog();

    // A tooltip on one control; it stays up for 30 double-click times and shows even while the
    // dialog is inactive. False for a null control.
    bool AddTooltip(QWidget* control, const QString& text);
    // The same for the control with this identifier; false when there is none.
    bool AddTooltip(int controlId, const QString& text);

    // The "&Help" button: opens the dialog's topic; nothing for a dialog without one.
    void OnHelp();

    // The picture control (identifier 1001); created on first call, owned by the dialog.
    QLabel* bannerLabel();
    // The "&Help" button (identifier 1174), created on first call and connected to OnHelp.
    QPushButton* helpButton();
    // "&Help", OK and Cancel. OK calls accept() unless the dialog connects its own handler
    // (pass connectOk = false); Cancel rejects.
    QDialogButtonBox* standardButtons(bool connectOk = true);

    // Controls without a caption are found by the identifier the table names.
    static void setControlId(QWidget* control, int id);
    static QWidget* findControl(QWidget* root, int id);

    // Tooltips of the table for `templateNumber` on the controls under `root` (a dialog or one
    // page of a tabbed dialog). Answers how many were attached.
    static int applyTooltips(QWidget* root, int templateNumber);
    // Opens a topic of the help pages in a help window owned by `parent`. False when the topic
    // is unknown or its page is missing.
    static bool openHelpTopic(QWidget* parent, const QString& topic);
    // Banner picture `number` decoded from the program's resources through our JPEG reader;
    // null when there is no such picture or it does not decode.
    static QImage loadBanner(int number);
    // What a control's tool tip holds for a table text (wrapped to the tooltip width).
    static QString tooltipMarkup(const QString& text);

signals:
    // The help topic the "&Help" button opened.
    void helpOpened(const QString& topic);

protected:
    // The topic "&Help" opens; a tabbed dialog answers its current page's.
    virtual QString helpTopic() const;

private:
    int m_templateNumber;
    QLabel* m_banner = nullptr;
    QPushButton* m_help = nullptr;
};

}  // namespace kalder::gui
