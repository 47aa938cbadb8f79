#include "desktop/about_box.h"

#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPushButton>
#include <QToolButton>

#include "core/strings.h"
#include "desktop/map_viewers.h"
#include "desktop/window_text.h"

namespace ferolin {

QIcon ApplicationIcon() {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(0x2e, 0x6d, 0xb4));
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(1, 1, 30, 30, 6, 6);
    QPainterPath track;
    track.moveTo(6, 25);
    track.cubicTo(12, 8, 18, 30, 26, 7);
    p.setPen(QPen(Qt::white, 3, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawPath(track);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xe0, 0x3a, 0x2f));
    p.drawEllipse(QPointF(26, 7), 3.5, 3.5);
    return QIcon(pixmap);
}

QIcon DonationIcon() {
    QPixmap pixmap(24, 24);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath heart;
    heart.moveTo(12, 21);
    heart.cubicTo(2, 14, 1, 6, 7, 4);
    heart.cubicTo(10, 3, 12, 6, 12, 7);
    heart.cubicTo(12, 6, 14, 3, 17, 4);
    heart.cubicTo(23, 6, 22, 14, 12, 21);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xd9, 0x30, 0x4f));
    p.drawPath(heart);
    return QIcon(pixmap);
}

AboutBox::AboutBox(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("aboutBox"));
    setWindowTitle(QStringLiteral("About Ferolin"));
    auto* grid = new QGridLayout(this);
    auto* icon = new QLabel(this);
    icon->setPixmap(ApplicationIcon().pixmap(32, 32));
    grid->addWidget(icon, 0, 0, 2, 1, Qt::AlignTop);
    auto* version = new QLabel(QStringLiteral("Ferolin v") + LoadQString(kStrVersion), this);
    version->setObjectName(QStringLiteral("versionLabel"));
    grid->addWidget(version, 0, 1);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setDefault(true);
    grid->addWidget(ok, 0, 2);
    auto* link = new QPushButton(LoadQString(kStrMakerAddress), this);
    link->setObjectName(QStringLiteral("webLinkButton"));
    link->setAutoDefault(false);
    grid->addWidget(link, 2, 0, 1, 2);
    auto* donate = new QToolButton(this);
    donate->setObjectName(QStringLiteral("donateIcon"));
    donate->setIcon(DonationIcon());
    donate->setAutoRaise(true);
    grid->addWidget(donate, 2, 2);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(link, &QPushButton::clicked, this, [] { OpenWebPage(kStrMakerPage); });
    connect(donate, &QToolButton::clicked, this, [] { OpenWebPage(kStrDonationPage); });
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace ferolin
