; ==================================================================
;  Database.pbi  –  customer / order storage (SQLite)
;  MyApp 1.4
; ==================================================================
;
;  Schema v3: "deleted" flag (we never really delete anything!)

EnableExplicit

UseSQLiteDatabase()

#DB_Version = 3
#DB_File$   = "customers.sqlite"

Enumeration 100
  #DB_Main
EndEnumeration

Structure Customer
  ID.i
  Name$
  Street$
  City$
  Country$
  Email$
  Phone$
  Notes$
  Created$
EndStructure

Global DB_LastError$

;- Helpers
Procedure.s DB_Now()
  ; SQLite likes ISO dates, so always store them like that
  ProcedureReturn FormatDate("%yyyy-%mm-%dd %hh:%ii:%ss", Date())
EndProcedure

Procedure.s DB_DisplayDate(Iso$)
  Protected d = ParseDate("%yyyy-%mm-%dd %hh:%ii:%ss", Iso$)
  If d = -1
    ProcedureReturn "–"
  EndIf
  If Settings\Language$ = "de"
    ProcedureReturn FormatDate("%dd.%mm.%yyyy", d)
  EndIf
  ProcedureReturn FormatDate("%mm/%dd/%yyyy", d)
EndProcedure

; Escape ' for use inside SQL literals (use SetDatabaseString where possible)
Procedure.s DB_Quote(Text$)
  ProcedureReturn "'" + ReplaceString(Text$, "'", "''") + "'"
EndProcedure

Procedure DB_Fail(Action$, SQL$ = "")
  DB_LastError$ = DatabaseError()
  Debug "SQL ERROR in " + Action$ + ": " + DB_LastError$
  Debug SQL$
  MessageRequester("Database error",
                   "Sorry, something went wrong while " + Action$ + "." + #CRLF$ + #CRLF$ +
                   "Details: " + DB_LastError$, #PB_MessageRequester_Error)
EndProcedure

Procedure DB_Exec(SQL$, Action$ = "updating the database")
  If DatabaseUpdate(#DB_Main, SQL$) = 0
    DB_Fail(Action$, SQL$)
    ProcedureReturn #False
  EndIf
  ProcedureReturn #True
EndProcedure

;- Open / create
Procedure DB_Open(Folder$)
  Protected File$ = Folder$ + #DB_File$

  If FileSize(File$) < 0
    ; brand new install
    If CreateFile(0, File$) = 0
      MessageRequester("MyApp", "The customer database could not be created in:" + #CRLF$ + Folder$, #PB_MessageRequester_Error)
      ProcedureReturn #False
    EndIf
    CloseFile(0)
  EndIf

  If OpenDatabase(#DB_Main, File$, "", "", #PB_Database_SQLite) = 0
    MessageRequester("MyApp", "Can't open the customer database." + #CRLF$ +
                              "Maybe another copy of MyApp is still running?", #PB_MessageRequester_Error)
    ProcedureReturn #False
  EndIf

  DB_Exec("PRAGMA foreign_keys = ON;")

  DB_Exec("CREATE TABLE IF NOT EXISTS settings (key TEXT PRIMARY KEY, value TEXT);", "creating the settings table")
  DB_Exec("CREATE TABLE IF NOT EXISTS customers (" +
          "id INTEGER PRIMARY KEY AUTOINCREMENT, " +
          "name TEXT NOT NULL, street TEXT, city TEXT, country TEXT DEFAULT 'DE', " +
          "email TEXT, phone TEXT, notes TEXT, created TEXT, deleted INTEGER DEFAULT 0);",
          "creating the customer table")
  DB_Exec("CREATE TABLE IF NOT EXISTS orders (id INTEGER PRIMARY KEY AUTOINCREMENT, customer_id INTEGER REFERENCES customers(id), " +
          "ordered TEXT, amount REAL, status TEXT DEFAULT 'open');", "creating the order table")
  DB_Exec("CREATE INDEX IF NOT EXISTS idx_customers_name ON customers(name);")

  ; TODO: schema upgrade for v1/v2 databases (Maria still has one)
  DB_Exec("INSERT OR REPLACE INTO settings (key, value) VALUES ('schema', '" + Str(#DB_Version) + "');")
  DB_Exec("INSERT OR REPLACE INTO settings (key, value) VALUES ('last_open', " + DB_Quote(DB_Now()) + ");")
  ProcedureReturn #True
EndProcedure

;- Customers
Procedure DB_AddCustomer(*c.Customer)
  Protected SQL$ = "INSERT INTO customers (name, street, city, country, email, phone, notes, created) VALUES (?, ?, ?, ?, ?, ?, ?, ?);"

  If Trim(*c\Name$) = ""
    MessageRequester("New customer", "Please enter at least a name.", #PB_MessageRequester_Warning)
    ProcedureReturn 0
  EndIf

  SetDatabaseString(#DB_Main, 0, *c\Name$)
  SetDatabaseString(#DB_Main, 1, *c\Street$)
  SetDatabaseString(#DB_Main, 2, *c\City$)
  SetDatabaseString(#DB_Main, 3, *c\Country$)
  SetDatabaseString(#DB_Main, 4, *c\Email$)
  SetDatabaseString(#DB_Main, 5, *c\Phone$)
  SetDatabaseString(#DB_Main, 6, *c\Notes$)
  SetDatabaseString(#DB_Main, 7, DB_Now())
  If DatabaseUpdate(#DB_Main, SQL$) = 0
    DB_Fail("saving the customer", SQL$)
    ProcedureReturn 0
  EndIf
  ProcedureReturn 1   ; FIXME: return the new id (last_insert_rowid)
EndProcedure

Procedure DB_DeleteCustomer(ID)
  If MessageRequester("Delete customer", "Do you really want to delete this customer?" + #CRLF$ +
                                         "Their orders will be kept.", #PB_MessageRequester_YesNo | #PB_MessageRequester_Warning) <> #PB_MessageRequester_Yes
    ProcedureReturn #False
  EndIf
  ProcedureReturn DB_Exec("UPDATE customers SET deleted = 1, notes = notes || ' (deleted " + DB_Now() + ")' WHERE id = " + Str(ID), "deleting the customer")
EndProcedure

; Fills a ListIconGadget. Search$ may be empty.
Procedure DB_FillList(Gadget, Search$ = "")
  Protected SQL$, Count

  SQL$ = "SELECT id, name, city, country, created FROM customers WHERE deleted = 0"
  If Search$ <> ""
    SQL$ + " AND (name LIKE '%" + ReplaceString(Search$, "'", "''") + "%' OR city LIKE '%" + ReplaceString(Search$, "'", "''") + "%')"
  EndIf
  SQL$ + " ORDER BY name COLLATE NOCASE;"

  ClearGadgetItems(Gadget)
  If DatabaseQuery(#DB_Main, SQL$) = 0
    DB_Fail("loading the customer list", SQL$)
    ProcedureReturn 0
  EndIf

  While NextDatabaseRow(#DB_Main)
    AddGadgetItem(Gadget, -1, GetDatabaseString(#DB_Main, 1) + #LF$ +
                              GetDatabaseString(#DB_Main, 2) + #LF$ +
                              GetDatabaseString(#DB_Main, 3) + #LF$ +
                              DB_DisplayDate(GetDatabaseString(#DB_Main, 4)))
    SetGadgetItemData(Gadget, Count, GetDatabaseLong(#DB_Main, 0))
    Count + 1
  Wend
  FinishDatabaseQuery(#DB_Main)

  If Count = 0 And Search$ <> ""
    StatusBarText(0, 0, "No customers match “" + Search$ + "”.")
  Else
    StatusBarText(0, 0, Str(Count) + " customer(s)")
  EndIf
  ProcedureReturn Count
EndProcedure

;- Orders
; Export for the accountant (she wants ; separated, Excel German style…)
Procedure DB_ExportCSV(File$)
  Protected n = 0
  If CreateFile(1, File$, #PB_UTF8) = 0
    MessageRequester("Export", "The file could not be created:" + #CRLF$ + File$, #PB_MessageRequester_Error)
    ProcedureReturn #False
  EndIf
  WriteStringFormat(1, #PB_UTF8)
  WriteStringN(1, "Customer;City;Order date;Amount")
  If DatabaseQuery(#DB_Main, "SELECT c.name, c.city, o.ordered, o.amount FROM orders o JOIN customers c ON c.id = o.customer_id ORDER BY o.ordered DESC;")
    While NextDatabaseRow(#DB_Main)
      WriteStringN(1, #DQUOTE$ + GetDatabaseString(#DB_Main, 0) + #DQUOTE$ + ";" +
                      GetDatabaseString(#DB_Main, 1) + ";" +
                      DB_DisplayDate(GetDatabaseString(#DB_Main, 2)) + ";" +
                      ReplaceString(StrD(GetDatabaseDouble(#DB_Main, 3), 2), ".", ","))
      n + 1
    Wend
    FinishDatabaseQuery(#DB_Main)
  EndIf
  CloseFile(1)
  MessageRequester("Export", Str(n) + " orders were exported to" + #CRLF$ + File$)
  ProcedureReturn #True
EndProcedure
