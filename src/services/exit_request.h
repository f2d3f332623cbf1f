// The user's request to leave. Once it is made no pass may start and the running ones end, so the nested event
// loops unwind and the application's own loop sees the quit. The frame keeps one for itself and its windows; a
// second frame (as tests build them, one after the other) starts with its own.
#pragma once

class TExitRequest {
 public:
  bool Requested() const { return requested_; }
  void Request() { requested_ = true; }

 private:
  bool requested_ = false;
};
