#pragma once

#include <string>

// Asks the desktop portal (org.freedesktop.portal.Screenshot) for a screenshot of the whole
// desktop, with no dialog where the desktop allows, and returns the local path of the image file
// it wrote. Throws a Failure when there is no session bus or portal, the portal offers no
// screenshots, the request is cancelled or refused, or no answer comes within a minute.
std::string takePortalScreenshot();
