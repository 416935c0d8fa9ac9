#pragma once

#include <windows.h>

#include <functional>

#include "core/film/FilmDocument.h"
#include "player/win32/UniqueHandle.h"

namespace lumafolio {

// The show's one background thread: while an item is on screen it prepares the item that
// follows it (decodes the next picture, opens the next video), so that a show step can start
// its transition at once.
//
// Hand-off with the user-interface thread (UI):
// - Resume(item) tells the worker which item is on screen; it prepares the one after it, marks
//   it ready and signals. Failed attempts are signalled too and retried.
// - WaitReady() lets the UI wait for that signal before it uses the prepared item.
// - Hold() stops the worker from preparing until the next Resume; it returns only when no
//   preparation is under way, so a show step never runs beside one.
// The worker never ends by itself: at the end of a film without loop it idles until the UI
// resumes it with another item (Page Up) or stops it.
class ShowWorker {
 public:
  // Prepares `next` on the worker thread, with the item lock held; true on success.
  using Prepare = std::function<bool(const FilmItem& next)>;

  ShowWorker(const FilmDocument& film, bool loop, Prepare prepare);
  ShowWorker(const ShowWorker&) = delete;
  ShowWorker& operator=(const ShowWorker&) = delete;
  ~ShowWorker();

  // Starts the thread, preparing the item after `current`. False when no thread was made.
  bool Start(const FilmItem& current);
  // Ends the thread and waits for it; harmless when it never started.
  void Stop();

  void Resume(const FilmItem& current);
  void Hold();
  // False when the wait failed (or the worker is gone) rather than signalled.
  bool WaitReady();
  // Whether the item after the one on screen was prepared (read while the worker is held).
  bool NextReady();

  // The lock the prepare operations run under; the UI also holds it while it starts an item.
  CRITICAL_SECTION& ItemLock() { return itemLock_; }

 private:
  static DWORD WINAPI ThreadMain(void* self);
  void Loop();

  const FilmDocument& film_;
  const bool loop_;
  Prepare prepare_;

  CRITICAL_SECTION itemLock_;
  UniqueHandle readyEvent_;  // auto-reset: each signal releases one wait
  UniqueHandle wakeEvent_;   // wakes an idle worker at once instead of at its next poll
  UniqueHandle thread_;

  // Guarded by itemLock_.
  FilmItem current_;
  bool running_ = false;
  bool held_ = false;
  bool nextReady_ = false;
  bool atEnd_ = false;
};

// A critical section entered for the life of the scope.
class LockScope {
 public:
  explicit LockScope(CRITICAL_SECTION& lock) : lock_(lock) { EnterCriticalSection(&lock_); }
  LockScope(const LockScope&) = delete;
  LockScope& operator=(const LockScope&) = delete;
  ~LockScope() { LeaveCriticalSection(&lock_); }

 private:
  CRITICAL_SECTION& lock_;
};

}  // namespace lumafolio
