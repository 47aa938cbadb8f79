// The About box of the desktop program, and the two icons the window paints
// for itself: the program's icon and the heart of the donation link.
#pragma once

#include <QDialog>
#include <QIcon>

namespace ferolin {

// The program's icon: a track over a blue map tile.
QIcon ApplicationIcon();
// The icon of the donation link.
QIcon DonationIcon();

// The version, the maker's web address and the donation link.
class AboutBox : public QDialog {
    Q_OBJECT
public:
    explicit AboutBox(QWidget* parent = nullptr);
};

}  // namespace ferolin
