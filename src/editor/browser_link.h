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
    // Closes the window as the stop tool button does; false when it was not shown.
    virtual bool closeBrowser() = 0;
    // Shows the page modally for the settings dialog's User-Agent probe: a
    // form submitted there hands its first field to the User-Agent setting.
    virtual void showProbe(const std::string& url) = 0;
    // The window is shown (for browse or the probe).
    virtual bool shown() const = 0;
};
