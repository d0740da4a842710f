// The base of the main window's tests: a registry and a folder for files of
// their own, made fresh for each test and removed after it.
#pragma once

#include <QObject>
#include <QTemporaryDir>

#include <memory>

#include "editor_fixture.h"

class WindowTest : public QObject {
    Q_OBJECT

protected:
    std::unique_ptr<TempRegistry> reg;
    std::unique_ptr<QTemporaryDir> files;

private slots:
    void init()
    {
        reg = std::make_unique<TempRegistry>();
        files = std::make_unique<QTemporaryDir>();
    }
    void cleanup()
    {
        files.reset();
        reg.reset();
    }
};
