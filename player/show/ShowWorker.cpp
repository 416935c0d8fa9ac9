#include "player/show/ShowWorker.h"

#include <objbase.h>

#include "core/show/ShowSequence.h"

namespace lumafolio {
namespace {

// How long an idle worker sleeps between looks at its state when nobody wakes it, and how long
// it waits before trying a failed preparation again (a damaged picture would otherwise be
// decoded over and over as fast as the machine allows).
constexpr DWORD kIdlePollMs = 100;

}  // namespace

ShowWorker::ShowWorker(const FilmDocument& film, bool loop, Prepare prepare)
    : film_(film),
      loop_(loop),
      prepare_(std::move(prepare)),
      readyEvent_(CreateEventA(nullptr, FALSE, FALSE, nullptr)),
      wakeEvent_(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {
  InitializeCriticalSection(&itemLock_);
}

ShowWorker::~ShowWorker() {
  Stop();
  DeleteCriticalSection(&itemLock_);
}

bool ShowWorker::Start(const FilmItem& current) {
  if (thread_ || !readyEvent_ || !wakeEvent_) return false;
  {
    LockScope lock(itemLock_);
    current_ = current;
    running_ = true;
    held_ = false;
    nextReady_ = false;
    atEnd_ = false;
  }
  thread_.reset(CreateThread(nullptr, 0, &ThreadMain, this, 0, nullptr));
  if (!thread_) {
    LockScope lock(itemLock_);
    running_ = false;
    return false;
  }
  return true;
}

void ShowWorker::Stop() {
  if (!thread_) return;
  {
    LockScope lock(itemLock_);
    running_ = false;
  }
  SetEvent(wakeEvent_.get());
  if (WaitForSingleObject(thread_.get(), INFINITE) == WAIT_FAILED) {
    MessageBoxA(nullptr, "Wait failed", "Error", MB_OK);
  }
  thread_.reset();
}

void ShowWorker::Resume(const FilmItem& current) {
  {
    LockScope lock(itemLock_);
    current_ = current;
    nextReady_ = false;
    atEnd_ = false;
    held_ = false;
  }
  SetEvent(wakeEvent_.get());
}

void ShowWorker::Hold() {
  LockScope lock(itemLock_);  // waits for a preparation under way to finish
  held_ = true;
  // A signal left over from a failed attempt must not release the next wait early.
  ResetEvent(readyEvent_.get());
}

bool ShowWorker::WaitReady() {
  for (;;) {
    const DWORD result = WaitForSingleObject(readyEvent_.get(), kIdlePollMs);
    if (result == WAIT_OBJECT_0) return true;
    if (result != WAIT_TIMEOUT) return false;
    // Nothing will come from a worker that is gone, held or past the end of the film.
    LockScope lock(itemLock_);
    if (!running_ || held_ || atEnd_) return false;
    if (WaitForSingleObject(thread_.get(), 0) == WAIT_OBJECT_0) return false;
  }
}

bool ShowWorker::NextReady() {
  LockScope lock(itemLock_);
  return nextReady_;
}

DWORD WINAPI ShowWorker::ThreadMain(void* self) {
  // The video prepare builds its filter graph's COM objects on this thread.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  static_cast<ShowWorker*>(self)->Loop();
  if (SUCCEEDED(com)) CoUninitialize();
  return 0;
}

void ShowWorker::Loop() {
  for (;;) {
    bool prepared = false;
    {
      LockScope lock(itemLock_);
      if (!running_) return;
      if (!held_ && !nextReady_ && !atEnd_) {
        const std::optional<FilmItem> next = ItemToShowAfter(film_, current_, loop_);
        if (!next) {
          atEnd_ = true;  // nothing follows: idle without signalling
        } else {
          prepared = prepare_(*next);
          nextReady_ = prepared;
          SetEvent(readyEvent_.get());
          if (prepared) continue;
        }
      }
    }
    WaitForSingleObject(wakeEvent_.get(), kIdlePollMs);
  }
}

}  // namespace lumafolio
