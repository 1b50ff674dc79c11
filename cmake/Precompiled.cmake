# Qt's and the standard library's headers are most of what a compiler reads
# here (a 40-line file is 135,000 lines once its includes are in), so each
# library reads the ones most files include once, from a precompiled header.
# The tests, one or two files each, share two precompiled headers instead of
# making their own: one for the tests without widgets, one for the others.
option(LINKVIGIL_PCH "Precompile the headers most files include" ON)

set(LINKVIGIL_PCH_CORE
    <QByteArray> <QDateTime> <QFile> <QHash> <QList> <QObject> <QString> <QStringList> <QTimer>
    <algorithm> <array> <cstdint> <functional> <memory> <optional> <string> <utility> <vector>)
set(LINKVIGIL_PCH_WIDGETS
    <QApplication> <QComboBox> <QDialog> <QLabel> <QLineEdit> <QPainter> <QPushButton> <QWidget>)

# Precompiles the shared headers (and those named after the target) for it.
function(linkvigil_precompile target)
    if(LINKVIGIL_PCH)
        target_precompile_headers(${target} PRIVATE ${LINKVIGIL_PCH_CORE} ${ARGN})
    endif()
endfunction()

# The target uses the precompiled headers of `origin`, which is compiled
# with the same options.
function(linkvigil_reuse_precompiled target origin)
    if(LINKVIGIL_PCH)
        target_precompile_headers(${target} REUSE_FROM ${origin})
    endif()
endfunction()
