#include "platform/accessibility.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QAction>
#include <QApplication>
#include <QFocusFrame>
#include <QLabel>
#include <QMenu>
#include <QPointer>

#include <optional>

namespace platform {

namespace {

// What a widget tells a screen reader beyond what Qt knows of it; a child of the widget, so it lives
// as long as the widget does.
class AccessibleTraits : public QObject
{
    Q_OBJECT
public:
    explicit AccessibleTraits(QObject *widget) : QObject(widget) {}

    std::optional<QAccessible::Role> role;
    bool hidden = false;
    bool field = false;
    std::function<void()> press;
    QPointer<QWidget> owner;        // of a popup
    QList<QPointer<QMenu>> popups;  // of a window
};

AccessibleTraits *traitsOf(const QObject *object)
{
    return object->findChild<AccessibleTraits *>(QString(), Qt::FindDirectChildrenOnly);
}

AccessibleTraits *traits(QObject *object)
{
    AccessibleTraits *t = traitsOf(object);
    return t ? t : new AccessibleTraits(object);
}

// Marks the interfaces made here, so that one Qt made before the traits were set can be told apart.
struct Ours
{
    virtual ~Ours() = default;
};

QMenu *menuOf(QAction *action)
{
    for (QObject *o : action->associatedObjects()) {
        if (auto *menu = qobject_cast<QMenu *>(o))
            return menu;
    }
    return nullptr;
}

// A menu item's caption as shown, without the shortcut label after the tab and without the
// mnemonic's ampersand.
QString caption(const QString &text)
{
    const QString shown = text.left(text.indexOf(QLatin1Char('\t')));
    QString name;
    for (qsizetype i = 0; i < shown.size(); ++i) {
        if (shown[i] == QLatin1Char('&') && ++i == shown.size())
            break;
        name += shown[i];
    }
    return name;
}

// A window: its role, and its children without the hidden ones and with the popups it owns.
class Window : public QAccessibleWidget, public Ours
{
public:
    explicit Window(QWidget *w) : QAccessibleWidget(w) {}

    // Read each time: a window may learn that it is a dialog after its interface was made.
    QAccessible::Role role() const override
    {
        const AccessibleTraits *t = traitsOf(widget());
        return t && t->role ? *t->role : QAccessibleWidget::role();
    }

    int childCount() const override { return kids().size(); }
    QAccessibleInterface *child(int index) const override
    {
        const QObjectList k = kids();
        return index >= 0 && index < k.size() ? QAccessible::queryAccessibleInterface(k.at(index)) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        return child ? kids().indexOf(child->object()) : -1;
    }

private:
    QObjectList kids() const
    {
        QObjectList k;
        for (QObject *o : widget()->children()) {
            auto *w = qobject_cast<QWidget *>(o);
            if (!w || w->isWindow() || qobject_cast<QFocusFrame *>(w) || qobject_cast<QMenu *>(w))
                continue;
            if (const AccessibleTraits *t = traitsOf(w); t && t->hidden)
                continue;
            k << w;
        }
        if (const AccessibleTraits *t = traitsOf(widget())) {
            for (const QPointer<QMenu> &m : t->popups) {
                if (m)
                    k << m.data();
            }
        }
        return k;
    }
};

class Button : public QAccessibleWidget, public Ours
{
public:
    explicit Button(QWidget *w) : QAccessibleWidget(w, QAccessible::Button) {}

    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString &action) override
    {
        const AccessibleTraits *t = traitsOf(widget());
        if (action == pressAction() && t && t->press)
            QMetaObject::invokeMethod(widget(), t->press, Qt::QueuedConnection);
    }
    QStringList keyBindingsForAction(const QString &) const override { return {}; }
};

class Field : public QAccessibleWidget, public Ours
{
public:
    explicit Field(QLabel *w) : QAccessibleWidget(w, QAccessible::StaticText) {}

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Description)
            return static_cast<QLabel *>(widget())->text();
        return QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.readOnly = true;
        return s;
    }
};

// A popup whose parent is the window it opens from; Qt's own names the application, which does
// not list popups among its children.
class Popup : public QAccessibleWidget, public Ours
{
public:
    explicit Popup(QMenu *menu) : QAccessibleWidget(menu, QAccessible::PopupMenu) {}

    QMenu *menu() const { return static_cast<QMenu *>(widget()); }
    int childCount() const override { return menu()->actions().size(); }
    QAccessibleInterface *child(int index) const override
    {
        const QList<QAction *> a = menu()->actions();
        return index >= 0 && index < a.size() ? QAccessible::queryAccessibleInterface(a.at(index)) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        return child ? menu()->actions().indexOf(qobject_cast<QAction *>(child->object())) : -1;
    }
    QAccessibleInterface *childAt(int x, int y) const override
    {
        QAction *a = menu()->actionAt(menu()->mapFromGlobal(QPoint(x, y)));
        return a && !a->isSeparator() ? QAccessible::queryAccessibleInterface(a) : nullptr;
    }
    QAccessibleInterface *parent() const override
    {
        const AccessibleTraits *t = traitsOf(widget());
        return t && t->owner ? QAccessible::queryAccessibleInterface(t->owner) : QAccessibleWidget::parent();
    }
};

// An item of any menu, named by its caption alone: Qt's own keeps the shortcut label in the name.
class MenuItem : public QAccessibleInterface, public QAccessibleActionInterface, public Ours
{
public:
    explicit MenuItem(QAction *action) : m_action(action) {}

    bool isValid() const override { return m_action && owner(); }
    QObject *object() const override { return m_action; }
    QWindow *window() const override { return owner() ? owner()->windowHandle() : nullptr; }
    QAccessibleInterface *parent() const override { return QAccessible::queryAccessibleInterface(owner()); }
    int childCount() const override { return m_action->menu() ? 1 : 0; }
    QAccessibleInterface *child(int index) const override
    {
        return index == 0 && m_action->menu() ? QAccessible::queryAccessibleInterface(m_action->menu()) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        return child && m_action->menu() && child->object() == m_action->menu() ? 0 : -1;
    }
    QAccessibleInterface *childAt(int x, int y) const override
    {
        QAccessibleInterface *c = child(0);
        return c && c->rect().contains(x, y) ? c : nullptr;
    }
    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Name ? caption(m_action->text()) : QString();
    }
    void setText(QAccessible::Text, const QString &) override {}
    QRect rect() const override
    {
        QMenu *m = owner();
        return m ? m->actionGeometry(m_action).translated(m->mapToGlobal(QPoint(0, 0))) : QRect();
    }
    QAccessible::Role role() const override
    {
        return m_action->isSeparator() ? QAccessible::Separator : QAccessible::MenuItem;
    }
    QAccessible::State state() const override
    {
        QAccessible::State s;
        QMenu *m = owner();
        s.invisible = !m || !m->isVisible() || !m_action->isVisible();
        s.focused = m && m->activeAction() == m_action;
        s.disabled = m_action->isSeparator() || !m_action->isEnabled();
        s.checked = m_action->isChecked();
        s.hasPopup = m_action->menu() != nullptr;
        return s;
    }
    void *interface_cast(QAccessible::InterfaceType t) override
    {
        return t == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface *>(this) : nullptr;
    }

    QStringList actionNames() const override
    {
        if (m_action->isSeparator())
            return {};
        return {m_action->menu() ? showMenuAction() : pressAction()};
    }
    void doAction(const QString &name) override
    {
        if (!m_action->isEnabled())
            return;
        if (name == pressAction()) {
            // As a click does: the popups close first, then the item's command runs.
            for (int i = 0; i < 8 && QApplication::activePopupWidget(); ++i)
                QApplication::activePopupWidget()->close();
            QMetaObject::invokeMethod(m_action.data(), &QAction::trigger, Qt::QueuedConnection);
        } else if (name == showMenuAction() && owner()) {
            owner()->setActiveAction(m_action);
        }
    }
    QStringList keyBindingsForAction(const QString &) const override { return {}; }

private:
    QMenu *owner() const { return m_action ? menuOf(m_action) : nullptr; }

    QPointer<QAction> m_action;
};

QAccessibleInterface *factory(const QString &, QObject *object)
{
    if (auto *action = qobject_cast<QAction *>(object))
        return menuOf(action) ? new MenuItem(action) : nullptr;
    auto *widget = qobject_cast<QWidget *>(object);
    const AccessibleTraits *t = widget ? traitsOf(widget) : nullptr;
    if (!t)
        return nullptr;
    if (t->press)
        return new Button(widget);
    if (auto *label = qobject_cast<QLabel *>(widget); label && t->field)
        return new Field(label);
    if (auto *menu = qobject_cast<QMenu *>(widget); menu && t->owner)
        return new Popup(menu);
    if (t->role)
        return new Window(widget);
    return nullptr;
}

// Installs the factory once, and drops an interface Qt made for object before it had its traits.
void renew(QObject *object)
{
    static const bool installed = [] {
        QAccessible::installFactory(&factory);
        return true;
    }();
    Q_UNUSED(installed);
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(object);
    if (iface && !dynamic_cast<Ours *>(iface))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(iface));
}

} // namespace

void setAccessibleRole(QWidget *window, AccessibleRole role)
{
    traits(window)->role = role == AccessibleRole::Dialog ? QAccessible::Dialog : QAccessible::Window;
    renew(window);
}

void hideFromScreenReaders(QWidget *widget)
{
    traits(widget)->hidden = true;
    // A label with a name of its own no longer reports each change of its text.
    widget->setAccessibleName(widget->objectName());
    renew(widget);
}

void nameField(QLabel *field, const QString &name)
{
    traits(field)->field = true;
    field->setAccessibleName(name);
    renew(field);
}

void makeAccessibleButton(QWidget *widget, const QString &name, std::function<void()> press)
{
    traits(widget)->press = std::move(press);
    widget->setAccessibleName(name);
    renew(widget);
}

void setAccessibleOwner(QMenu *popup, QWidget *owner)
{
    traits(popup)->owner = owner;
    QList<QPointer<QMenu>> &popups = traits(owner)->popups;
    popups.removeIf([](const QPointer<QMenu> &m) { return m.isNull(); });
    if (!popups.contains(popup))
        popups << popup;
    renew(popup);
}

} // namespace platform

#include "accessibility.moc"
