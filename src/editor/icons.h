// The tool bar's pictures and the program's own mark, drawn by the program
// itself.
#pragma once

#include <QIcon>

class QPainter;
class QRectF;

enum class ToolIcon { New, Open, Save, Run, Stop, Help };

QIcon ToolIconImage(ToolIcon which);

// The program's mark, a rounded blue square with an "S", filling square.
void PaintProgramMark(QPainter& p, const QRectF& square);
// The main window's icon: the mark in the sizes desktops ask for.
QIcon ProgramIcon();
