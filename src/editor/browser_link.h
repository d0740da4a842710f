// What the main window needs of the browser window, which comes in its own
// library: the window registers itself with the main window when it exists.
#pragma once

#include <string>

class BrowserWindowLink {
public:
    virtual ~BrowserWindowLink() = default;
    // Empties the list of recorded lines (at every run start).
    virtual void clearRecording() = 0;
    // Shows the window, not modally, for browse: url is the URL text (Windows-1252),
    // "" for the page in the temporary file. The window wakes the run when it
    // closes, after setting the run's stop flag or current line.
    virtual void showBrowser(const std::string& url) = 0;
    // Closes the window as the stop tool button does.
    virtual void closeBrowser() = 0;
};
