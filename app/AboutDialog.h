#pragma once

#include "ui_AboutDialog.h"

#include <QDialog>

// The About box: the product's title, a picture, the web address (a click
// opens it in the browser) and the author's credit line (a click starts an
// e-mail to the author).
class AboutDialog : public QDialog, public Ui::AboutDialog {
    Q_OBJECT
public:
    // The maker's name, a colon and a blank, and the product's name.
    static const QString ProductTitle;
    static const QString AuthorMail;

    explicit AboutDialog(QWidget* parent = nullptr);
    ~AboutDialog() override;

    // Shows a fresh box modally and discards it when it closes.
    static void ShowAboutBox();

public slots:
    void lblURLClick();
    void StaticText1Click();

protected:
    // The labels have no click signal of their own.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void centreOnScreen();
};
