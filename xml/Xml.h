#pragma once
// The XML library in one include: documents, nodes, streams, codecs, texts.
#include "xml/XmlBuffered.h"
#include "xml/XmlCodec.h"
#include "xml/XmlDocument.h"
#include "xml/XmlErrors.h"
#include "xml/XmlNode.h"
#include "xml/XmlStream.h"
#include "xml/XmlText.h"
#include "xml/XmlTyped.h"
