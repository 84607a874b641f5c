#pragma once
// The trained tables of the script detector as the training tool wrote them
// (tools/train_script_detector.py, into scriptmodel.cpp): base64 of a
// qCompress'ed block.
#include <QByteArray>

QByteArray packedScriptModel();
