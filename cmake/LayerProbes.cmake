# What each library must not reach, one probe a line (rc_layer_probe in
# cmake/Layers.cmake): the build stops at a header a library can include
# though it must not. A rule for every library is one line too:
#   rc_layer_probe(ALL FORBIDS <QtFoo/QFoo> <QFoo>)
# Each Qt module is probed in both spellings: <QtGui/QFont> and <QFont>.

rc_layer_probe(platform_text REACHES platform/codepage.h
               FORBIDS <QtCore/QString> <QString> platform/database.h)
rc_layer_probe(xml REACHES xml/XmlDocument.h
               FORBIDS <QtCore/QString> <QString> platform/qtext.h)
# xml reads the code page through platform_text; its headers do not.
rc_layer_probe(xml USERS REACHES xml/XmlDocument.h FORBIDS platform/codepage.h)
rc_layer_probe(platform REACHES platform/database.h <QtCore/QString>
               FORBIDS <QtGui/QFont> <QFont> <QtWidgets/QWidget> <QWidget> platform/dialogs.h platform/fonts.h)
# The database layer's headers need Qt Core alone: what links platform does
# not reach the code page and INI reader.
rc_layer_probe(platform USERS REACHES platform/database.h FORBIDS platform/codepage.h platform/inifile.h)
rc_layer_probe(platform_fonts REACHES platform/fonts.h <QtGui/QFont>
               FORBIDS <QtWidgets/QWidget> <QWidget> platform/database.h)
rc_layer_probe(platform_dialogs REACHES platform/dialogs.h <QtWidgets/QWidget> FORBIDS xml/XmlDocument.h)
# The dialogs' header names widgets by declaration only.
rc_layer_probe(platform_dialogs USERS REACHES platform/dialogs.h <QtCore/QString>
               FORBIDS <QtWidgets/QWidget> platform/database.h platform/fonts.h)
# settings holds the connection's settings, not the connection: with Qt Core
# alone, its sources reach neither Qt Gui (the long spelling included) nor
# the engine; what links settings does not reach the database layer.
rc_layer_probe(settings REACHES settings/Settings.h platform/inifile.h <QtCore/QString>
               FORBIDS <QtGui/QFont> <QFont> <QtWidgets/QWidget> <QWidget> check/SqlText.h)
rc_layer_probe(settings USERS REACHES settings/Settings.h
               FORBIDS platform/database.h platform/inifile.h)
rc_layer_probe(cell REACHES cell/TCell.h <QtWidgets/QWidget> FORBIDS check/SqlText.h platform/database.h)
# The spreadsheet's headers need Qt Widgets, not printing and not the fonts.
rc_layer_probe(cell USERS REACHES cell/TCell.h
               FORBIDS <QtPrintSupport/QPrinter> <QPrinter> platform/fonts.h)
# The engine: Qt Core only, in every spelling, and nothing of the window.
rc_layer_probe(check REACHES check/SqlText.h <QtCore/QString>
               FORBIDS <QtWidgets/QWidget> <QWidget> <QtGui/QFont> <QFont> <QtPrintSupport/QPrinter>
                       app/Texts.h cell/CellTexts.h)
# The engine's headers name the database layer, not the XML library it reads
# rule files with.
rc_layer_probe(check USERS REACHES check/RuleImport.h platform/database.h FORBIDS xml/XmlDocument.h)
rc_layer_probe(chooser REACHES chooser/UFastTree.h <QtWidgets/QTreeWidget>
               FORBIDS check/SqlText.h <QtPrintSupport/QPrinter>)
# The chooser's header names its connection by declaration only.
rc_layer_probe(chooser USERS REACHES chooser/uChoosePartyOrg.h
               FORBIDS platform/database.h platform/dialogs.h platform/fonts.h)
rc_layer_probe(app REACHES app/UCheckEdit.h FORBIDS tests/support/TestDatabase.h)
# The main window's header names its spreadsheet and chooser by declaration:
# what links app reaches neither, nor printing.
rc_layer_probe(app USERS REACHES app/UCheckEdit.h
               FORBIDS cell/TCell.h chooser/uChoosePartyOrg.h <QtPrintSupport/QPrinter> <QPrinter>)
# The engine's tests link no widget library.
rc_layer_probe(testsupport REACHES tests/support/TestDatabase.h <QtCore/QString>
               FORBIDS app/UCheckEdit.h <QtWidgets/QWidget> <QWidget> <QtGui/QFont> <QFont>)
# The database layer speaks ODBC itself: no library reaches Qt SQL.
rc_layer_probe(ALL FORBIDS <QtSql/QSqlDatabase> <QSqlDatabase>)

rc_layer_probes_before(reportcheck fuzz_xml_loader)
