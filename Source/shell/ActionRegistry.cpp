#include "ActionRegistry.h"

#include <QAction>
#include <QtGlobal>

namespace velto {

namespace {

void DefaultMiss(const QString& name) {
#ifdef NDEBUG
    qWarning("No command named \"%s\"", qUtf8Printable(name));
#else
    qFatal("No command named \"%s\"", qUtf8Printable(name));
#endif
}

TActionRegistry::MissHandler& MissHandlerSlot() {
    static TActionRegistry::MissHandler handler = DefaultMiss;
    return handler;
}

}  // namespace

TActionRegistry::MissHandler TActionRegistry::SetMissHandler(MissHandler handler) {
    MissHandler previous = std::move(MissHandlerSlot());
    MissHandlerSlot() = handler ? std::move(handler) : MissHandler(DefaultMiss);
    return previous;
}

TActionRegistry::TActionRegistry(QObject* owner) : QObject(owner), owner_(owner) {}

QAction* TActionRegistry::addCommand(ActionGroup group, const QString& name, const QString& caption,
                                     const QList<QKeySequence>& keys, Handler handler) {
    Q_ASSERT(!byName_.contains(name));
    auto* a = new QAction(caption, owner_);
    a->setObjectName(name);
    if (!keys.isEmpty()) {
        a->setShortcuts(keys);
        // The commands work from any widget of the main window, documents included.
        a->setShortcutContext(Qt::WindowShortcut);
    }
    byName_.insert(name, a);
    groups_[static_cast<int>(group)].append(a);
    if (handler) handlers_.insert(a, std::move(handler));
    connect(a, &QAction::triggered, this, [this, a] { run(a); });
    return a;
}

QAction* TActionRegistry::action(const QString& name) const {
    if (QAction* a = byName_.value(name, nullptr)) return a;
    return missed(name);
}

QAction* TActionRegistry::missed(const QString& name) const {
    MissHandlerSlot()(name);
    // Unnamed, so that neither the translation walk nor a search by name finds
    // it; reset at every miss, whatever the last caller did to it.
    if (!inert_) inert_ = new QAction(const_cast<TActionRegistry*>(this));
    inert_->setEnabled(false);
    inert_->setVisible(false);
    inert_->setChecked(false);
    return inert_;
}

const QList<QAction*>& TActionRegistry::group(ActionGroup g) const { return groups_[static_cast<int>(g)]; }

bool TActionRegistry::inGroup(const QAction* a, ActionGroup g) const {
    for (const QAction* x : groups_[static_cast<int>(g)])
        if (x == a) return true;
    return false;
}

void TActionRegistry::setHandler(const QString& name, Handler handler) {
    QAction* a = action(name);
    if (a == inert_) return;
    handlers_.insert(a, std::move(handler));
    emit handlerSet(a);
}

void TActionRegistry::execute(QAction* a) {
    if (a && a != inert_) a->trigger();
}

void TActionRegistry::run(QAction* a) {
    ++depth_;
    if (hook_ && inGroup(a, ActionGroup::Main)) hook_(a);
    auto it = handlers_.constFind(a);
    if (it != handlers_.constEnd() && *it) {
        Handler h = *it;  // a handler may replace itself
        h(a);
    }
    --depth_;
    // Only the outermost command refreshes, so a mirror that runs its main
    // command refreshes once.
    if (depth_ == 0 && post_) post_(a);
}

}  // namespace velto
