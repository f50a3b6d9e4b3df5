#include "platform/win32/task_scheduler_win32.h"

#include <windows.h>
#include <oleauto.h>
#include <taskschd.h>

#include <cstdio>
#include <string>
#include <utility>

#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_text.h"

namespace tallowin::platform::win32 {
namespace {

// MinGW's taskschd.h lacks the weekly trigger; this is its layout and IID as Windows
// documents them.
const IID kIidWeeklyTrigger = {0x5038fc98, 0x82ff, 0x436d, {0x87, 0x28, 0xa5, 0x12, 0xa5, 0x7c, 0x9d, 0xc1}};
struct IWeeklyTrigger : public ITrigger {
  virtual HRESULT STDMETHODCALLTYPE get_DaysOfWeek(short* days) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_DaysOfWeek(short days) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_WeeksInterval(short* weeks) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_WeeksInterval(short weeks) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_RandomDelay(BSTR* delay) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_RandomDelay(BSTR delay) = 0;
};

// Owns one BSTR.
class Bstr {
 public:
  Bstr() = default;
  explicit Bstr(const std::string& text) : value_(SysAllocString(Wide(text).c_str())) {}
  ~Bstr() { SysFreeString(value_); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  BSTR get() const { return value_; }
  BSTR* put() {
    SysFreeString(std::exchange(value_, nullptr));
    return &value_;
  }
  std::string text() const { return value_ != nullptr ? Narrow(value_) : std::string(); }

 private:
  BSTR value_ = nullptr;
};

std::string Reason(HRESULT hr) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text = length > 0 && buffer != nullptr ? std::wstring(buffer, length) : std::wstring();
  if (buffer != nullptr) LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' '))
    text.pop_back();
  char code[16];
  std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(hr));
  return (text.empty() ? std::string("Error") : Narrow(text)) + " (" + code + ")";
}

TaskResult Failure(HRESULT hr, TaskStep step) { return {step, hr, Reason(hr)}; }

bool NotFound(HRESULT hr) {
  return hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) || hr == HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
}

// The root folder of a connected service.
TaskResult RootFolder(ComPtr<ITaskService>& service, ComPtr<ITaskFolder>& root) {
  HRESULT hr = CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskService,
                                service.put());
  if (FAILED(hr)) return Failure(hr, TaskStep::NoScheduler);
  VARIANT none;
  VariantInit(&none);
  hr = service->Connect(none, none, none, none);
  if (FAILED(hr)) return Failure(hr, TaskStep::NoService);
  const Bstr path("\\");
  hr = service->GetFolder(path.get(), reinterpret_cast<ITaskFolder**>(root.put()));
  if (FAILED(hr)) return Failure(hr, TaskStep::NoFolder);
  return {};
}

void NoteUnreadable(RegisteredTask& task, TaskUnreported::Part part, HRESULT hr) {
  task.unreadable.push_back({part, Reason(hr)});
}

void ReadTriggers(ITaskDefinition& definition, RegisteredTask& task) {
  ComPtr<ITriggerCollection> triggers;
  LONG count = 0;
  HRESULT hr = definition.get_Triggers(reinterpret_cast<ITriggerCollection**>(triggers.put()));
  if (SUCCEEDED(hr)) hr = triggers->get_Count(&count);
  if (FAILED(hr)) return NoteUnreadable(task, TaskUnreported::Part::Schedule, hr);
  std::vector<TaskTrigger> read;
  for (LONG i = 1; i <= count; ++i) {  // the collections count from 1
    ComPtr<ITrigger> trigger;
    TASK_TRIGGER_TYPE2 type = TASK_TRIGGER_EVENT;
    hr = triggers->get_Item(i, reinterpret_cast<ITrigger**>(trigger.put()));
    if (SUCCEEDED(hr)) hr = trigger->get_Type(&type);
    if (FAILED(hr)) return NoteUnreadable(task, TaskUnreported::Part::Schedule, hr);
    TaskTrigger entry;
    Bstr start;
    VARIANT_BOOL enabled = VARIANT_TRUE;
    if (SUCCEEDED(trigger->get_StartBoundary(start.put()))) entry.startBoundary = start.text();
    if (SUCCEEDED(trigger->get_Enabled(&enabled))) entry.enabled = enabled != VARIANT_FALSE;
    if (type == TASK_TRIGGER_DAILY) {
      ComPtr<IDailyTrigger> daily;
      short days = 0;
      if (SUCCEEDED(trigger->QueryInterface(IID_IDailyTrigger, daily.put())) &&
          SUCCEEDED(daily->get_DaysInterval(&days))) {
        entry.kind = TaskTrigger::Kind::Daily;
        entry.interval = days;
      }
    } else if (type == TASK_TRIGGER_WEEKLY) {
      ComPtr<IWeeklyTrigger> weekly;
      short days = 0, weeks = 0;
      if (SUCCEEDED(trigger->QueryInterface(kIidWeeklyTrigger, weekly.put())) &&
          SUCCEEDED(weekly->get_DaysOfWeek(&days)) && SUCCEEDED(weekly->get_WeeksInterval(&weeks))) {
        entry.kind = TaskTrigger::Kind::Weekly;
        entry.daysOfWeek = days;
        entry.interval = weeks;
      }
    }
    read.push_back(std::move(entry));
  }
  task.triggers = std::move(read);
}

void ReadActions(ITaskDefinition& definition, RegisteredTask& task) {
  ComPtr<IActionCollection> actions;
  LONG count = 0;
  HRESULT hr = definition.get_Actions(reinterpret_cast<IActionCollection**>(actions.put()));
  if (SUCCEEDED(hr)) hr = actions->get_Count(&count);
  if (FAILED(hr)) return NoteUnreadable(task, TaskUnreported::Part::Action, hr);
  std::vector<TaskAction> read;
  for (LONG i = 1; i <= count; ++i) {
    ComPtr<IAction> action;
    hr = actions->get_Item(i, reinterpret_cast<IAction**>(action.put()));
    if (FAILED(hr)) return NoteUnreadable(task, TaskUnreported::Part::Action, hr);
    TaskAction entry;
    ComPtr<IExecAction> exec;
    if (SUCCEEDED(action->QueryInterface(IID_IExecAction, exec.put()))) {
      Bstr path, arguments;
      hr = exec->get_Path(path.put());
      if (SUCCEEDED(hr)) hr = exec->get_Arguments(arguments.put());
      if (FAILED(hr)) return NoteUnreadable(task, TaskUnreported::Part::Action, hr);
      entry.exec = true;
      entry.command = path.text();
      entry.arguments = arguments.text();
    }
    read.push_back(std::move(entry));
  }
  task.actions = std::move(read);
}

class Win32TaskScheduler : public TaskScheduler {
 public:
  TaskResult Read(const std::string& name, RegisteredTask& task) override {
    const ComScope com(COINIT_MULTITHREADED);
    ComPtr<ITaskService> service;
    ComPtr<ITaskFolder> root;
    if (TaskResult result = RootFolder(service, root); !result.ok()) return result;
    const Bstr taskName(name);
    ComPtr<IRegisteredTask> registered;
    HRESULT hr = root->GetTask(taskName.get(), reinterpret_cast<IRegisteredTask**>(registered.put()));
    RegisteredTask read;
    if (NotFound(hr)) {
      task = std::move(read);
      return {};
    }
    if (FAILED(hr)) return Failure(hr, TaskStep::NotRead);
    read.exists = true;
    VARIANT_BOOL enabled = VARIANT_TRUE;
    if (SUCCEEDED(registered->get_Enabled(&enabled))) read.enabled = enabled != VARIANT_FALSE;
    ComPtr<ITaskDefinition> definition;
    hr = registered->get_Definition(reinterpret_cast<ITaskDefinition**>(definition.put()));
    if (FAILED(hr)) {
      NoteUnreadable(read, TaskUnreported::Part::Definition, hr);
    } else {
      ReadTriggers(*definition.get(), read);
      ReadActions(*definition.get(), read);
    }
    DATE next = 0;
    SYSTEMTIME time{};
    if (SUCCEEDED(registered->get_NextRunTime(&next)) && next != 0 &&
        VariantTimeToSystemTime(next, &time) != 0) {
      read.nextRun = LocalTime{time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute, time.wSecond};
    }
    task = std::move(read);
    return {};
  }

  TaskResult Register(const std::string& name, const std::string& xml) override {
    const ComScope com(COINIT_MULTITHREADED);
    ComPtr<ITaskService> service;
    ComPtr<ITaskFolder> root;
    if (TaskResult result = RootFolder(service, root); !result.ok()) return result;
    ComPtr<ITaskDefinition> definition;
    HRESULT hr = service->NewTask(0, reinterpret_cast<ITaskDefinition**>(definition.put()));
    if (FAILED(hr)) return Failure(hr, TaskStep::NoDefinition);
    const Bstr text(xml);
    hr = definition->put_XmlText(text.get());
    if (FAILED(hr)) return Failure(hr, TaskStep::DefinitionRefused);
    const Bstr taskName(name);
    VARIANT none;
    VariantInit(&none);
    ComPtr<IRegisteredTask> registered;
    hr = root->RegisterTaskDefinition(taskName.get(), definition.get(), TASK_CREATE_OR_UPDATE, none,
                                      none, TASK_LOGON_INTERACTIVE_TOKEN, none,
                                      reinterpret_cast<IRegisteredTask**>(registered.put()));
    if (FAILED(hr)) return Failure(hr, TaskStep::NotRegistered);
    return {};
  }

  TaskResult Remove(const std::string& name) override {
    const ComScope com(COINIT_MULTITHREADED);
    ComPtr<ITaskService> service;
    ComPtr<ITaskFolder> root;
    if (TaskResult result = RootFolder(service, root); !result.ok()) return result;
    const Bstr taskName(name);
    const HRESULT hr = root->DeleteTask(taskName.get(), 0);
    if (FAILED(hr) && !NotFound(hr)) return Failure(hr, TaskStep::NotRemoved);
    return {};
  }
};

}  // namespace

std::unique_ptr<TaskScheduler> MakeTaskScheduler() { return std::make_unique<Win32TaskScheduler>(); }

}  // namespace tallowin::platform::win32
