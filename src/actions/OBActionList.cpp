#include "actions/OBActionList.h"

#include "actions/AbstractActions.h"

namespace vistrel::actions {

// ---- TCustomOBActionList -----------------------------------------------------------------------

namespace {

// Guarded copies: a handler may destroy an action while the list is walked.
QList<QPointer<TCustomAbstractAction>> guardedActions(const TCustomOBActionList& list) {
  QList<QPointer<TCustomAbstractAction>> out;
  for (TCustomAbstractAction* a : list.AbstractActions()) out.append(a);
  return out;
}

}  // namespace

TCustomOBActionList::TCustomOBActionList(QObject* parent) : TActionList(parent) {}

TCustomOBActionList::~TCustomOBActionList() = default;

bool TCustomOBActionList::LoadFromPrefs(settings::TOrbanoPreferences& prefs) {
  bool result = true;
  try {
    for (const QPointer<TCustomAbstractAction>& a : guardedActions(*this))
      if (a && a->IncludePrefs && !a->LoadFromPrefs(prefs)) result = false;
    if (OnLoadFromPrefs && !OnLoadFromPrefs(prefs)) result = false;
  } catch (...) {
    // The pass did not finish: it cannot report success.
    result = false;
  }
  return result;
}

bool TCustomOBActionList::SaveToPrefs(settings::TOrbanoPreferences& prefs) {
  bool result = true;
  try {
    for (const QPointer<TCustomAbstractAction>& a : guardedActions(*this))
      if (a && a->IncludePrefs && !a->SaveToPrefs(prefs)) result = false;
    if (OnSaveToPrefs && !OnSaveToPrefs(prefs)) result = false;
  } catch (...) {
    result = false;
  }
  return result;
}

TCustomAbstractAction* TCustomOBActionList::FindByInternalId(const QString& id) const {
  for (TCustomAbstractAction* a : AbstractActions())
    if (a->InternalId == id) return a;
  return nullptr;
}

TCustomAbstractAction* TCustomOBActionList::FindBySwitch(const QString& name) const {
  for (TCustomAbstractAction* a : AbstractActions())
    if (a->Switch.compare(name, Qt::CaseInsensitive) == 0) return a;
  return nullptr;
}

QList<TCustomAbstractAction*> TCustomOBActionList::AbstractActions() const {
  QList<TCustomAbstractAction*> out;
  for (TCustomAction* a : actions())
    if (auto* abstract = qobject_cast<TCustomAbstractAction*>(a)) out.append(abstract);
  return out;
}

// ---- TOBActionList -----------------------------------------------------------------------------

struct TOBActionList::Attachment {
  TOBCompileEvent kept;
  // None once the list has left the engine: the handler then only passes the call on.
  TOBActionList* list = nullptr;
};

namespace {

// The engine's compile handler while a list is attached. A named type, so that the list can
// tell whether the engine's handler is still its own when it leaves.
struct CompileHandler {
  std::shared_ptr<TOBActionList::Attachment> state;

  void operator()(TOBScript& engine) const {
    // Copies: a handler may attach or detach lists, replacing what this one refers to.
    const std::shared_ptr<TOBActionList::Attachment> s = state;
    const TOBCompileEvent kept = s->kept;
    if (kept) kept(engine);
    if (!s->list) return;
    for (const QPointer<TCustomAbstractAction>& a : guardedActions(*s->list))
      if (a) a->RegisterInScript(engine);
  }
};

}  // namespace

TOBActionList::TOBActionList(QObject* parent) : TCustomOBActionList(parent) {}

TOBActionList::~TOBActionList() {
  detachScript();
  if (switch_) switch_->UnregisterActions(*this);
}

void TOBActionList::setPascalScript(TOBScript* engine) {
  if (engine == script_ && (engine || !attachment_)) return;
  detachScript();
  if (!engine) return;
  auto state = std::make_shared<Attachment>();
  state->kept = engine->OnCompile;
  state->list = this;
  engine->OnCompile = CompileHandler{state};
  script_ = engine;
  attachment_ = std::move(state);
}

void TOBActionList::detachScript() {
  if (!attachment_) return;
  if (script_) {
    const CompileHandler* current = script_->OnCompile.target<CompileHandler>();
    // When another list attached after this one, the engine's handler is that list's, which
    // keeps this one's handler: it stays there and only passes the call on.
    if (current && current->state == attachment_) script_->OnCompile = attachment_->kept;
  }
  attachment_->list = nullptr;
  attachment_.reset();
  script_ = nullptr;
}

void TOBActionList::setSwitch(TOBSwitchRegistry* processor) {
  if (processor == switch_) return;
  if (switch_) switch_->UnregisterActions(*this);
  switch_ = processor;
  if (processor) processor->RegisterActions(*this);
}

// ---- TOBSwitchRegistry -------------------------------------------------------------------------

TOBSwitchRegistry::TOBSwitchRegistry(QObject* parent) : QObject(parent) {}

TOBSwitchRegistry::~TOBSwitchRegistry() = default;

void TOBSwitchRegistry::RegisterActions(TCustomOBActionList& list) {
  for (TCustomAbstractAction* a : list.AbstractActions()) {
    registry_.removeIf([a](const auto& entry) { return entry.second == a; });
    registry_.append({a->Switch, a});
  }
}

void TOBSwitchRegistry::UnregisterActions(TCustomOBActionList& list) {
  const QList<TCustomAbstractAction*> actions = list.AbstractActions();
  registry_.removeIf(
      [&actions](const auto& entry) { return !entry.second || actions.contains(entry.second.data()); });
}

int TOBSwitchRegistry::RegisteredCount() const {
  int n = 0;
  for (const auto& entry : registry_)
    if (entry.second) ++n;
  return n;
}

TCustomAbstractAction* TOBSwitchRegistry::FindRegistered(const QString& name) const {
  for (const auto& entry : registry_)
    if (entry.second && entry.first.compare(name, Qt::CaseInsensitive) == 0) return entry.second;
  return nullptr;
}

void TOBSwitchRegistry::ApplyCommand(TCustomAbstractAction& action, TSwitchMode mode, const QString& value) {
  if (auto* check = qobject_cast<TCheckAction*>(&action)) {
    switch (mode) {
      case TSwitchMode::smPlus: check->SetChecked(true); break;
      case TSwitchMode::smMinus: check->SetChecked(false); break;
      case TSwitchMode::smSlash: check->Toggle(); break;
      case TSwitchMode::smBare: break;
    }
    return;
  }
  action.ApplyText(value);
}

// ---- TOBActionComponent ------------------------------------------------------------------------

namespace {

class MessageWindow : public QObject {
 public:
  explicit MessageWindow(TOBActionComponent* owner) : QObject(owner), owner_(owner) {}
  bool event(QEvent* e) override { return owner_->WndProc(e) || QObject::event(e); }

 private:
  TOBActionComponent* owner_;
};

}  // namespace

TOBActionComponent::TOBActionComponent(QObject* parent)
    : TCustomOBActionList(parent), handle_(new MessageWindow(this)) {}

TOBActionComponent::~TOBActionComponent() {
  // No event may reach WndProc once the component is being destroyed.
  delete handle_;
  handle_ = nullptr;
}

void TOBActionComponent::Created() {
  CreateActions();
  InitActions();
  AssignInternalHandlers();
}

void TOBActionComponent::Loaded() {
  FindActions();
  AssignInternalHandlers();
}

bool TOBActionComponent::WndProc(QEvent*) { return false; }

}  // namespace vistrel::actions
