#pragma once

#include <string>

// Shows the user a failed capture as one desktop notification (org.freedesktop.Notifications), for
// a tool that nobody watches on a terminal. Silent where no session bus or notification service
// is there, and never longer than about two seconds, whatever the service does.
void notifyFailure(const char* summary, const std::string& message);
