-- Inventory database of the pump, SQLite edition.
--
-- Nothing in it needs more than SQLite itself: the sqlite3 shell, Python or
-- any other program reads, writes, vacuums, checks and dumps it as it is.
--
-- Names: the pump looks rows up by workstation, product, ODBC driver and data
-- source names, ignoring case and trailing spaces as SQL Server does. Each
-- such column has a key beside it, <column>_Key: the name without its
-- trailing spaces, the letters of Windows-1252 (ASCII, the accented capitals and
-- the four others) made small; accents stay. The pump's look-ups compare keys,
-- through the keys' indexes. The triggers at the end keep every key up to date
-- whoever writes the name (SQLite's parser takes so many nested replace() at
-- most, hence two steps), so a row added by hand is found like any other;
-- write the name, never the key. Values read back exactly as they were stored.
-- The name columns, like every other text column, compare with COLLATE
-- NOCASE (ASCII letters only, SQLite's own rule): "=" typed by hand ignores
-- ASCII case but not trailing spaces; compare the keys for the pump's rule.
-- Types as the servers keep them: every integer, number and date column
-- checks its values with CHECK constraints named <column>_type (the kind of
-- value) and <column>_range (integers beyond 16 or 32 bits), so a text never
-- lands in an INTEGER column and a day-month text never in a DATE column.
-- Identity keys are INTEGER PRIMARY KEY AUTOINCREMENT: assigned on insert,
-- never reused.
-- The version of this schema is the one row of SchemaVersion; "kolbidb
-- upgrade" brings a database of an older version to it.
-- Getdate(), which the pump's SQL uses, comes from the extension
-- kolbi_getdate that the pump's data source loads (LoadExt=); nothing stored
-- depends on it.

CREATE TABLE SchemaVersion (
    Version INTEGER NOT NULL
);
INSERT INTO SchemaVersion (Version) VALUES (4);

CREATE TABLE Postes (
    PosteID INTEGER PRIMARY KEY AUTOINCREMENT,
    Poste_Nom VARCHAR(450) COLLATE NOCASE,
    Poste_Nom_Key VARCHAR(450),
    Poste_Domain VARCHAR(255) COLLATE NOCASE,
    Poste_FirstSoftInventory DATE CONSTRAINT Poste_FirstSoftInventory_type CHECK (Poste_FirstSoftInventory IS date(Poste_FirstSoftInventory, '+0 days')),
    Poste_LastSoftInventory DATE CONSTRAINT Poste_LastSoftInventory_type CHECK (Poste_LastSoftInventory IS date(Poste_LastSoftInventory, '+0 days')),
    PosteHardID INTEGER CONSTRAINT PosteHardID_type CHECK (typeof(PosteHardID) IN ('integer', 'null'))
        CONSTRAINT PosteHardID_range CHECK (PosteHardID BETWEEN -2147483648 AND 2147483647),
    PosteSoftID INTEGER CONSTRAINT PosteSoftID_type CHECK (typeof(PosteSoftID) IN ('integer', 'null'))
        CONSTRAINT PosteSoftID_range CHECK (PosteSoftID BETWEEN -2147483648 AND 2147483647),
    Poste_OpsID INTEGER CONSTRAINT Poste_OpsID_type CHECK (typeof(Poste_OpsID) IN ('integer', 'null'))
        CONSTRAINT Poste_OpsID_range CHECK (Poste_OpsID BETWEEN -2147483648 AND 2147483647),
    Poste_SerialNumber VARCHAR(255) COLLATE NOCASE,
    Poste_BiosSerialNum VARCHAR(255) COLLATE NOCASE,
    Poste_Mac VARCHAR(255) COLLATE NOCASE,
    Poste_LastSoftUsageReport DATE CONSTRAINT Poste_LastSoftUsageReport_type CHECK (Poste_LastSoftUsageReport IS date(Poste_LastSoftUsageReport, '+0 days')),
    Poste_FirstHardInventory DATE CONSTRAINT Poste_FirstHardInventory_type CHECK (Poste_FirstHardInventory IS date(Poste_FirstHardInventory, '+0 days')),
    Poste_LastHardInventory DATE CONSTRAINT Poste_LastHardInventory_type CHECK (Poste_LastHardInventory IS date(Poste_LastHardInventory, '+0 days')),
    Poste_LastUser VARCHAR(255) COLLATE NOCASE
);
CREATE INDEX IX_Postes_Poste_Nom_Key ON Postes (Poste_Nom_Key);

CREATE TABLE SoftProduct (
    SOFTPRODUCT_ID INTEGER PRIMARY KEY AUTOINCREMENT,
    SOFTPRODUCT_PRODUCT VARCHAR(450) COLLATE NOCASE,
    SOFTPRODUCT_PRODUCT_Key VARCHAR(450),
    SOFTPRODUCT_DESCRIPTION TEXT COLLATE NOCASE,
    SOFTPRODUCT_VERSION VARCHAR(255) COLLATE NOCASE,
    SOFTPRODUCT_COPYRIGHT TEXT COLLATE NOCASE,
    SOFTPRODUCT_PACKAGE VARCHAR(255) COLLATE NOCASE,
    SOFTPRODUCT_LICENCE_GROUPE_NUMBER VARCHAR(255) COLLATE NOCASE,
    SOFTPRODUCT_LICENCE_NUMBER VARCHAR(255) COLLATE NOCASE,
    SOFTPRODUCT_LICENCE_ID INTEGER CONSTRAINT SOFTPRODUCT_LICENCE_ID_type CHECK (typeof(SOFTPRODUCT_LICENCE_ID) IN ('integer', 'null'))
        CONSTRAINT SOFTPRODUCT_LICENCE_ID_range CHECK (SOFTPRODUCT_LICENCE_ID BETWEEN -2147483648 AND 2147483647),
    SOFTPRODUCT_LICBUY INTEGER CONSTRAINT SOFTPRODUCT_LICBUY_type CHECK (typeof(SOFTPRODUCT_LICBUY) IN ('integer', 'null'))
        CONSTRAINT SOFTPRODUCT_LICBUY_range CHECK (SOFTPRODUCT_LICBUY BETWEEN -2147483648 AND 2147483647),
    SOFTPRODUCT_PRICE NUMERIC(19, 4)
        CONSTRAINT SOFTPRODUCT_PRICE_type CHECK (typeof(SOFTPRODUCT_PRICE) IN ('integer', 'real', 'null')),
    SOFTPRODUCT_IGNORE SMALLINT CONSTRAINT SOFTPRODUCT_IGNORE_type CHECK (typeof(SOFTPRODUCT_IGNORE) IN ('integer', 'null'))
        CONSTRAINT SOFTPRODUCT_IGNORE_range CHECK (SOFTPRODUCT_IGNORE BETWEEN -32768 AND 32767),
    SOFTPRODUCT_USED SMALLINT CONSTRAINT SOFTPRODUCT_USED_type CHECK (typeof(SOFTPRODUCT_USED) IN ('integer', 'null'))
        CONSTRAINT SOFTPRODUCT_USED_range CHECK (SOFTPRODUCT_USED BETWEEN -32768 AND 32767)
);
CREATE INDEX IX_SoftProduct_PRODUCT_Key ON SoftProduct (SOFTPRODUCT_PRODUCT_Key);

-- No key: a link may be stored twice, and a link is deleted by its two values.
CREATE TABLE PosteSoftware (
    PosteSoft_PosteID INTEGER CONSTRAINT PosteSoft_PosteID_type CHECK (typeof(PosteSoft_PosteID) IN ('integer', 'null'))
        CONSTRAINT PosteSoft_PosteID_range CHECK (PosteSoft_PosteID BETWEEN -2147483648 AND 2147483647),
    PosteSoft_ProductID INTEGER CONSTRAINT PosteSoft_ProductID_type CHECK (typeof(PosteSoft_ProductID) IN ('integer', 'null'))
        CONSTRAINT PosteSoft_ProductID_range CHECK (PosteSoft_ProductID BETWEEN -2147483648 AND 2147483647)
);
CREATE INDEX IX_PosteSoftware_Poste_Product ON PosteSoftware (PosteSoft_PosteID, PosteSoft_ProductID);

CREATE TABLE Changement (
    Changement_ID INTEGER PRIMARY KEY AUTOINCREMENT,
    Changement_Poste VARCHAR(450) COLLATE NOCASE,
    Changement_User VARCHAR(255) COLLATE NOCASE,
    Changement_Date DATETIME CONSTRAINT Changement_Date_type
        CHECK (Changement_Date IS NULL
            OR date(Changement_Date, '+0 days') IS substr(Changement_Date, 1, 10)),
    Changement_Type INTEGER CONSTRAINT Changement_Type_type CHECK (typeof(Changement_Type) IN ('integer', 'null'))
        CONSTRAINT Changement_Type_range CHECK (Changement_Type BETWEEN -2147483648 AND 2147483647),
    Changement_Critique INTEGER CONSTRAINT Changement_Critique_type CHECK (typeof(Changement_Critique) IN ('integer', 'null'))
        CONSTRAINT Changement_Critique_range CHECK (Changement_Critique BETWEEN -2147483648 AND 2147483647),
    Changement_Data TEXT COLLATE NOCASE,
    Changement_ACK SMALLINT CONSTRAINT Changement_ACK_type CHECK (typeof(Changement_ACK) IN ('integer', 'null'))
        CONSTRAINT Changement_ACK_range CHECK (Changement_ACK BETWEEN -32768 AND 32767)
);

CREATE TABLE Transactions (
    SIUser VARCHAR(255) COLLATE NOCASE,
    SIPoste VARCHAR(450) COLLATE NOCASE
);

CREATE TABLE ODBC_Drv (
    ODBC_ID INTEGER PRIMARY KEY AUTOINCREMENT,
    ODBC_PRODUCTID INTEGER CONSTRAINT ODBC_PRODUCTID_type CHECK (typeof(ODBC_PRODUCTID) IN ('integer', 'null'))
        CONSTRAINT ODBC_PRODUCTID_range CHECK (ODBC_PRODUCTID BETWEEN -2147483648 AND 2147483647),
    ODBC_DrvName VARCHAR(450) COLLATE NOCASE,
    ODBC_Desc VARCHAR(450) COLLATE NOCASE,
    ODBC_ProdVers VARCHAR(100) COLLATE NOCASE,
    ODBC_CPR VARCHAR(450) COLLATE NOCASE,
    ODBC_DrvName_Key VARCHAR(450),
    ODBC_Desc_Key VARCHAR(450),
    ODBC_ProdVers_Key VARCHAR(100),
    ODBC_CPR_Key VARCHAR(450)
);
CREATE INDEX IX_ODBC_Drv_Name_Version_Key ON ODBC_Drv (ODBC_DrvName_Key, ODBC_ProdVers_Key);

CREATE TABLE ODBC_DSN (
    DSN_ODBC_ID INTEGER CONSTRAINT DSN_ODBC_ID_type CHECK (typeof(DSN_ODBC_ID) IN ('integer', 'null'))
        CONSTRAINT DSN_ODBC_ID_range CHECK (DSN_ODBC_ID BETWEEN -2147483648 AND 2147483647),
    DSN_POSTEID INTEGER CONSTRAINT DSN_POSTEID_type CHECK (typeof(DSN_POSTEID) IN ('integer', 'null'))
        CONSTRAINT DSN_POSTEID_range CHECK (DSN_POSTEID BETWEEN -2147483648 AND 2147483647),
    DSN_Name VARCHAR(255) COLLATE NOCASE,
    DSN_DBName VARCHAR(255) COLLATE NOCASE,
    DSN_ServName VARCHAR(255) COLLATE NOCASE,
    DSN_Name_Key VARCHAR(255),
    DSN_DBName_Key VARCHAR(255),
    DSN_ServName_Key VARCHAR(255)
);
CREATE INDEX IX_ODBC_DSN_Poste_Driver_Name_Key ON ODBC_DSN (DSN_POSTEID, DSN_ODBC_ID, DSN_Name_Key);

-- The keys of the name columns (see above).

CREATE TRIGGER Postes_Keys_Insert AFTER INSERT ON Postes BEGIN
    UPDATE Postes SET Poste_Nom = Poste_Nom WHERE PosteID = NEW.PosteID;
END;
CREATE TRIGGER Postes_Keys_Update AFTER UPDATE OF Poste_Nom ON Postes BEGIN
    UPDATE Postes SET
        Poste_Nom_Key =
            replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(lower(rtrim(Poste_Nom, ' '))
                , char(192), char(224)), char(193), char(225)), char(194), char(226))
                , char(195), char(227)), char(196), char(228)), char(197), char(229))
                , char(198), char(230)), char(199), char(231)), char(200), char(232))
                , char(201), char(233)), char(202), char(234)), char(203), char(235))
                , char(204), char(236)), char(205), char(237)), char(206), char(238))
                , char(207), char(239)), char(208), char(240))
    WHERE PosteID = NEW.PosteID;
    UPDATE Postes SET
        Poste_Nom_Key =
            replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(Poste_Nom_Key
                , char(209), char(241)), char(210), char(242)), char(211), char(243))
                , char(212), char(244)), char(213), char(245)), char(214), char(246))
                , char(216), char(248)), char(217), char(249)), char(218), char(250))
                , char(219), char(251)), char(220), char(252)), char(221), char(253))
                , char(222), char(254)), char(352), char(353)), char(338), char(339))
                , char(381), char(382)), char(376), char(255))
    WHERE PosteID = NEW.PosteID;
END;

CREATE TRIGGER SoftProduct_Keys_Insert AFTER INSERT ON SoftProduct BEGIN
    UPDATE SoftProduct SET SOFTPRODUCT_PRODUCT = SOFTPRODUCT_PRODUCT WHERE SOFTPRODUCT_ID = NEW.SOFTPRODUCT_ID;
END;
CREATE TRIGGER SoftProduct_Keys_Update AFTER UPDATE OF SOFTPRODUCT_PRODUCT ON SoftProduct BEGIN
    UPDATE SoftProduct SET
        SOFTPRODUCT_PRODUCT_Key =
            replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(lower(rtrim(SOFTPRODUCT_PRODUCT, ' '))
                , char(192), char(224)), char(193), char(225)), char(194), char(226))
                , char(195), char(227)), char(196), char(228)), char(197), char(229))
                , char(198), char(230)), char(199), char(231)), char(200), char(232))
                , char(201), char(233)), char(202), char(234)), char(203), char(235))
                , char(204), char(236)), char(205), char(237)), char(206), char(238))
                , char(207), char(239)), char(208), char(240))
    WHERE SOFTPRODUCT_ID = NEW.SOFTPRODUCT_ID;
    UPDATE SoftProduct SET
        SOFTPRODUCT_PRODUCT_Key =
            replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(SOFTPRODUCT_PRODUCT_Key
                , char(209), char(241)), char(210), char(242)), char(211), char(243))
                , char(212), char(244)), char(213), char(245)), char(214), char(246))
                , char(216), char(248)), char(217), char(249)), char(218), char(250))
                , char(219), char(251)), char(220), char(252)), char(221), char(253))
                , char(222), char(254)), char(352), char(353)), char(338), char(339))
                , char(381), char(382)), char(376), char(255))
    WHERE SOFTPRODUCT_ID = NEW.SOFTPRODUCT_ID;
END;

CREATE TRIGGER ODBC_Drv_Keys_Insert AFTER INSERT ON ODBC_Drv BEGIN
    UPDATE ODBC_Drv SET ODBC_DrvName = ODBC_DrvName WHERE ODBC_ID = NEW.ODBC_ID;
END;
CREATE TRIGGER ODBC_Drv_Keys_Update AFTER UPDATE OF ODBC_DrvName, ODBC_Desc, ODBC_ProdVers, ODBC_CPR ON ODBC_Drv BEGIN
    UPDATE ODBC_Drv SET
        ODBC_DrvName_Key =
            replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(lower(rtrim(ODBC_DrvName, ' '))
                , char(192), char(224)), char(193), char(225)), char(194), char(226))
                , char(195), char(227)), char(196), char(228)), char(197), char(229))
                , char(198), char(230)), char(199), char(231)), char(200), char(232))
                , char(201), char(233)), char(202), char(234)), char(203), char(235))
                , char(204), char(236)), char(205), char(237)), char(206), char(238))
                , char(207), char(239)), char(208), char(240)),
        ODBC_Desc_Key =
            replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(lower(rtrim(ODBC_Desc, ' '))
                , char(192), char(224)), char(193), char(225)), char(194), char(226))
                , char(195), char(227)), char(196), char(228)), char(197), char(229))
                , char(198), char(230)), char(199), char(231)), char(200), char(232))
                , char(201), char(233)), char(202), char(234)), char(203), char(235))
                , char(204), char(236)), char(205), char(237)), char(206), char(238))
                , char(207), char(239)), char(208), char(240)),
        ODBC_ProdVers_Key =
            replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(lower(rtrim(ODBC_ProdVers, ' '))
                , char(192), char(224)), char(193), char(225)), char(194), char(226))
                , char(195), char(227)), char(196), char(228)), char(197), char(229))
                , char(198), char(230)), char(199), char(231)), char(200), char(232))
                , char(201), char(233)), char(202), char(234)), char(203), char(235))
                , char(204), char(236)), char(205), char(237)), char(206), char(238))
                , char(207), char(239)), char(208), char(240)),
        ODBC_CPR_Key =
            replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(lower(rtrim(ODBC_CPR, ' '))
                , char(192), char(224)), char(193), char(225)), char(194), char(226))
                , char(195), char(227)), char(196), char(228)), char(197), char(229))
                , char(198), char(230)), char(199), char(231)), char(200), char(232))
                , char(201), char(233)), char(202), char(234)), char(203), char(235))
                , char(204), char(236)), char(205), char(237)), char(206), char(238))
                , char(207), char(239)), char(208), char(240))
    WHERE ODBC_ID = NEW.ODBC_ID;
    UPDATE ODBC_Drv SET
        ODBC_DrvName_Key =
            replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(ODBC_DrvName_Key
                , char(209), char(241)), char(210), char(242)), char(211), char(243))
                , char(212), char(244)), char(213), char(245)), char(214), char(246))
                , char(216), char(248)), char(217), char(249)), char(218), char(250))
                , char(219), char(251)), char(220), char(252)), char(221), char(253))
                , char(222), char(254)), char(352), char(353)), char(338), char(339))
                , char(381), char(382)), char(376), char(255)),
        ODBC_Desc_Key =
            replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(ODBC_Desc_Key
                , char(209), char(241)), char(210), char(242)), char(211), char(243))
                , char(212), char(244)), char(213), char(245)), char(214), char(246))
                , char(216), char(248)), char(217), char(249)), char(218), char(250))
                , char(219), char(251)), char(220), char(252)), char(221), char(253))
                , char(222), char(254)), char(352), char(353)), char(338), char(339))
                , char(381), char(382)), char(376), char(255)),
        ODBC_ProdVers_Key =
            replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(ODBC_ProdVers_Key
                , char(209), char(241)), char(210), char(242)), char(211), char(243))
                , char(212), char(244)), char(213), char(245)), char(214), char(246))
                , char(216), char(248)), char(217), char(249)), char(218), char(250))
                , char(219), char(251)), char(220), char(252)), char(221), char(253))
                , char(222), char(254)), char(352), char(353)), char(338), char(339))
                , char(381), char(382)), char(376), char(255)),
        ODBC_CPR_Key =
            replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(ODBC_CPR_Key
                , char(209), char(241)), char(210), char(242)), char(211), char(243))
                , char(212), char(244)), char(213), char(245)), char(214), char(246))
                , char(216), char(248)), char(217), char(249)), char(218), char(250))
                , char(219), char(251)), char(220), char(252)), char(221), char(253))
                , char(222), char(254)), char(352), char(353)), char(338), char(339))
                , char(381), char(382)), char(376), char(255))
    WHERE ODBC_ID = NEW.ODBC_ID;
END;

CREATE TRIGGER ODBC_DSN_Keys_Insert AFTER INSERT ON ODBC_DSN BEGIN
    UPDATE ODBC_DSN SET DSN_Name = DSN_Name WHERE rowid = NEW.rowid;
END;
CREATE TRIGGER ODBC_DSN_Keys_Update AFTER UPDATE OF DSN_Name, DSN_DBName, DSN_ServName ON ODBC_DSN BEGIN
    UPDATE ODBC_DSN SET
        DSN_Name_Key =
            replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(lower(rtrim(DSN_Name, ' '))
                , char(192), char(224)), char(193), char(225)), char(194), char(226))
                , char(195), char(227)), char(196), char(228)), char(197), char(229))
                , char(198), char(230)), char(199), char(231)), char(200), char(232))
                , char(201), char(233)), char(202), char(234)), char(203), char(235))
                , char(204), char(236)), char(205), char(237)), char(206), char(238))
                , char(207), char(239)), char(208), char(240)),
        DSN_DBName_Key =
            replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(lower(rtrim(DSN_DBName, ' '))
                , char(192), char(224)), char(193), char(225)), char(194), char(226))
                , char(195), char(227)), char(196), char(228)), char(197), char(229))
                , char(198), char(230)), char(199), char(231)), char(200), char(232))
                , char(201), char(233)), char(202), char(234)), char(203), char(235))
                , char(204), char(236)), char(205), char(237)), char(206), char(238))
                , char(207), char(239)), char(208), char(240)),
        DSN_ServName_Key =
            replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(lower(rtrim(DSN_ServName, ' '))
                , char(192), char(224)), char(193), char(225)), char(194), char(226))
                , char(195), char(227)), char(196), char(228)), char(197), char(229))
                , char(198), char(230)), char(199), char(231)), char(200), char(232))
                , char(201), char(233)), char(202), char(234)), char(203), char(235))
                , char(204), char(236)), char(205), char(237)), char(206), char(238))
                , char(207), char(239)), char(208), char(240))
    WHERE rowid = NEW.rowid;
    UPDATE ODBC_DSN SET
        DSN_Name_Key =
            replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(DSN_Name_Key
                , char(209), char(241)), char(210), char(242)), char(211), char(243))
                , char(212), char(244)), char(213), char(245)), char(214), char(246))
                , char(216), char(248)), char(217), char(249)), char(218), char(250))
                , char(219), char(251)), char(220), char(252)), char(221), char(253))
                , char(222), char(254)), char(352), char(353)), char(338), char(339))
                , char(381), char(382)), char(376), char(255)),
        DSN_DBName_Key =
            replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(DSN_DBName_Key
                , char(209), char(241)), char(210), char(242)), char(211), char(243))
                , char(212), char(244)), char(213), char(245)), char(214), char(246))
                , char(216), char(248)), char(217), char(249)), char(218), char(250))
                , char(219), char(251)), char(220), char(252)), char(221), char(253))
                , char(222), char(254)), char(352), char(353)), char(338), char(339))
                , char(381), char(382)), char(376), char(255)),
        DSN_ServName_Key =
            replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(DSN_ServName_Key
                , char(209), char(241)), char(210), char(242)), char(211), char(243))
                , char(212), char(244)), char(213), char(245)), char(214), char(246))
                , char(216), char(248)), char(217), char(249)), char(218), char(250))
                , char(219), char(251)), char(220), char(252)), char(221), char(253))
                , char(222), char(254)), char(352), char(353)), char(338), char(339))
                , char(381), char(382)), char(376), char(255))
    WHERE rowid = NEW.rowid;
END;
