#pragma once
// The program's one document: it holds no data and is never saved; the view and the application object
// keep all state.

class CVellumoDoc {};
