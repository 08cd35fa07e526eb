#include "about/hakkinda.h"

#include "platform/accessibility.h"
#include "platform/toolwindow.h"
#include "platform/urlopener.h"
#include "platform/widgets.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QUrl>

hakkinda::hakkinda(QWidget *parent) : QWidget(parent)
{
    platform::makeToolWindow(this, platform::ToolWindowKind::Tool);
    setObjectName(QStringLiteral("hakkinda"));
    setWindowTitle(QStringLiteral("Orlenbay Velmora"));
    setFixedSize(Genislik, Yukseklik);

    Image1 = platform::makeLabel(this, "Image1", QString(), QRect(0, 0, 320, 240));
    Image1->setMargin(0);
    Image1->setPixmap(QPixmap(QStringLiteral(":/velmora/hakkinda.jpg")));
    Image1->installEventFilter(this);
    // The designed client area is 2 pixels shorter than the picture.
    platform::growToHoldChildren(this);
    // A screen reader opens the site as a click does.
    platform::makeAccessibleButton(Image1, QString::fromLatin1(SiteAdresi), [this] { Image1_Click(); });
}

hakkinda::~hakkinda() = default;

bool hakkinda::eventFilter(QObject *watched, QEvent *event)
{
    // A click is a left press and a left release on the picture; the second press of a
    // double click is not a new click.
    if (watched == Image1) {
        if (event->type() == QEvent::MouseButtonPress) {
            m_basili = static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton;
        } else if (event->type() == QEvent::MouseButtonDblClick) {
            m_basili = false;
        } else if (event->type() == QEvent::MouseButtonRelease) {
            auto *m = static_cast<QMouseEvent *>(event);
            if (m->button() == Qt::LeftButton && m_basili) {
                m_basili = false;
                if (Image1->rect().contains(m->position().toPoint()))
                    Image1_Click();
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void hakkinda::Image1_Click()
{
    // Handed over without waiting; a failed launch is not the about window's business.
    platform::openUrl(QUrl(QString::fromLatin1(SiteAdresi)));
}
