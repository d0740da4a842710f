// The tool bar's pictures, drawn by the program itself.
#pragma once

#include <QIcon>

enum class ToolIcon { New, Open, Save, Run, Stop, Help };

QIcon ToolIconImage(ToolIcon which);
