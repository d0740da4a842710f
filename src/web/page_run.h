// What page code needs of the run it works for. The web access sees its run
// only through this interface, the way a library sees its virtual machine
// through one header: it builds, and is tested, without the interpreter.
#pragma once

#include <atomic>
#include <string>

// An int that two threads read and write without a lock and that still copies
// like a plain member.
struct SharedInt {
    std::atomic<int> v;
    SharedInt(int x = 0) : v(x) {}
    SharedInt(const SharedInt& o) : v(o.v.load()) {}
    SharedInt& operator=(const SharedInt& o) { v.store(o.v.load()); return *this; }
    SharedInt& operator=(int x) { v.store(x); return *this; }
    operator int() const { return v.load(); }
};

// The settings the web access reads, at the moment it needs them.
struct WebSettings {
    SharedInt debugLevel = 0;  // written by the run (assignment to debug)
    std::string userAgent = "Skimlark";
    int httpTimeout = 15;  // seconds
    int maxRedirects = 5;  // 0 = no limit
    std::string dataDir;   // no trailing "/"
};

class PageRun {
public:
    virtual ~PageRun() = default;

    virtual WebSettings& webSettings() = 0;
    // A variable's value; a missing variable is created with "" first.
    virtual std::string variable(const std::string& name) = 0;
    // A variable's value, or null when there is none; creates nothing.
    virtual const std::string* findVariable(const std::string& name) = 0;
    virtual void setVariable(const std::string& name, std::string value) = 0;
    // Set when the run is to stop; a request in progress ends with it.
    virtual const std::atomic<bool>& stopFlag() = 0;
    // Records a run error on a line unless one is recorded already.
    virtual void setError(const std::string& message, int line) = 0;
    // A line for the run's output pane, with the pane's line limit.
    virtual void appendOutput(const std::string& line) = 0;
    // The "Notiz" box; returns when it was closed.
    virtual void showNote(const std::string& text) = 0;

    // The same, formatted: a line of at most 10,000 bytes, a note of at most
    // 1,024.
    void AppendOutput(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void ShowNote(const char* format, ...) __attribute__((format(printf, 2, 3)));
    bool debugOn() { return webSettings().debugLevel != 0; }
};
