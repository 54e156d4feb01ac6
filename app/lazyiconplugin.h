#pragma once

#include <QIconEnginePlugin>

// Makes every icon read from a PNG or Windows icon file a LazyIconEngine: the forms' icons too,
// which Qt would otherwise decode as the form is built. Built into the program (mainwindow.cpp
// imports it); Qt chooses an icon's engine by the file's extension.
class LazyIconPlugin : public QIconEnginePlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QIconEngineFactoryInterface_iid FILE "lazyiconplugin.json")

public:
    QIconEngine *create(const QString &fileName = QString()) override;
};
