// Sending the message and delivering the out-box.
#include "compose/newmessage.h"

void NewMessage::Send_Click() {}
void NewMessage::deliver_Click() { deliver_offline(); }
void NewMessage::deliver_offline() {}
void NewMessage::Mail1_Done() {}
void NewMessage::Mail1_AsyncError(int, const QString&) {}
void NewMessage::Mail1_Debug(const QString&) {}
