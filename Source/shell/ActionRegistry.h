#pragma once
// One registry of the main window's named commands. Every QAction is created
// here, named as the command (the translation walk and the later issues find
// it by that name), and triggers through execute(), which runs the
// pre-execute hook of the main group before the handler.
#include <QHash>
#include <QKeySequence>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>

class QAction;

namespace velto {

// The three groups of commands: the menu and main tool bar commands, the
// keyboard commands of the drawing tools and the mirrors on the tool bar.
enum class ActionGroup { Main, Tools, Toolbar };

class TActionRegistry : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<void(QAction*)>;
    using Hook = std::function<void(QAction*)>;

    // Actions are children of owner, so that they belong to its form.
    explicit TActionRegistry(QObject* owner);

    QAction* addCommand(ActionGroup group, const QString& name, const QString& caption,
                        const QList<QKeySequence>& keys = {}, Handler handler = {});
    // The action of that name. A name no command carries is a programming
    // error: it goes to the miss handler, and an inert action comes back
    // (disabled, hidden, on no menu, running nothing) so that no caller
    // dereferences null.
    QAction* action(const QString& name) const;
    QAction* operator[](const QString& name) const { return action(name); }
    bool contains(const QString& name) const { return byName_.contains(name); }

    // Told of every name looked up in vain, process-wide. The default aborts
    // with the name in debug builds and logs it in release builds; tests
    // install one that fails the running test. Returns the previous handler;
    // an empty handler restores the default.
    using MissHandler = std::function<void(const QString& name)>;
    static MissHandler SetMissHandler(MissHandler handler);
    const QList<QAction*>& group(ActionGroup g) const;
    bool inGroup(const QAction* a, ActionGroup g) const;

    // Later parts plug their command in here; the previous handler is replaced
    // (an unknown name is a miss).
    void setHandler(const QString& name, Handler handler);
    bool hasHandler(const QAction* a) const { return handlers_.value(a) != nullptr; }
    // Runs before every handler of the main group.
    void setPreExecuteHook(Hook hook) { hook_ = std::move(hook); }
    // After every command (the main window refreshes its action states).
    void setPostExecuteHook(Hook hook) { post_ = std::move(hook); }

    // Runs a command as the user does (a checkable action flips first): the
    // hook (main group), the handler, then the post hook. A disabled action
    // does nothing.
    void execute(QAction* a);
    void execute(const QString& name) { execute(action(name)); }

signals:
    // A handler was put in (or replaced) for a.
    void handlerSet(QAction* a);

private:
    void run(QAction* a);
    QAction* missed(const QString& name) const;

    QObject* owner_;
    QHash<QString, QAction*> byName_;
    QHash<const QAction*, Handler> handlers_;
    QList<QAction*> groups_[3];
    mutable QAction* inert_ = nullptr;
    Hook hook_;
    Hook post_;
    int depth_ = 0;
};

}  // namespace velto
