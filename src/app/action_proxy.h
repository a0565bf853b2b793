// An action's stand-in at one menu or tool-bar place where it carries a caption of its own. Qt
// shows an action's one text everywhere, so the place gets this proxy: it forwards triggering to
// the real action and mirrors its enabled, checkable and checked state.
#pragma once

#include <QAction>

namespace korvel {

class TActionProxy : public QAction {
    Q_OBJECT
public:
    TActionProxy(QAction* source, const QString& caption, QObject* parent);
    QAction* Source() const { return source_; }

private:
    void Mirror();
    QAction* source_;
};

}  // namespace korvel
