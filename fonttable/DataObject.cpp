// Data classes the studio links against; the module's own logic uses neither.
#include "FontTable.h"

CUnit::CUnit() : m_pValueType(nullptr) {}

CUnit::CUnit(_TYPENODE* valueType, const CString& unitDesc, const CString& showName, const CString& xmlId)
    : m_pValueType(valueType), m_strUnitDesc(unitDesc), m_strShowName(showName), m_strXMLid(xmlId) {}

CUnit::CUnit(const CUnit& other) = default;

CUnit& CUnit::operator=(const CUnit& other) = default;

CUnit::~CUnit() = default;

CDataObject::~CDataObject() = default;
