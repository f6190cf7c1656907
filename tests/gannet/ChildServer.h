#pragma once
// A real server program (nginx, tinyproxy) run by a test: started in the
// foreground under `timeout` so that it ends by itself, waited for until its
// port accepts connections, and stopped when the object goes.

#include "support/ChildProcess.h"

#include <memory>
#include <string>
#include <vector>

class CChildServer {
 public:
  // Starts argv (output to logPath) and waits up to 10 s for port on
  // 127.0.0.1. Throws std::runtime_error when it does not come up.
  CChildServer(const std::vector<std::string>& argv, int port, const std::string& logPath);

 private:
  std::unique_ptr<testing_support::CChildProcess> m_process;
};
