#include "avi/blockbuffer.h"

#include "avi/avimem.h"

#include <string.h>

CBlockBuffer::CBlockBuffer() : m_pData(nullptr), m_nSize(0), m_nWritePtr(0), m_nReadPtr(0) {}

CBlockBuffer::CBlockBuffer(unsigned int size) : CBlockBuffer()
{
    Alloc(size);
}

CBlockBuffer::~CBlockBuffer()
{
    Free();
}

void CBlockBuffer::ClearData()
{
    m_nWritePtr = 0;
    m_nReadPtr = 0;
}

void CBlockBuffer::Free()
{
    avi_free(m_pData);
    m_pData = nullptr;
    m_nSize = 0;
    m_nWritePtr = 0;
    m_nReadPtr = 0;
}

int CBlockBuffer::Write(unsigned char *p, unsigned int n)
{
    if (n > GetRestSize()) {
        AVI_LOG("Invalid Write size: %d\n", (int)n);
        return -1;
    }
    if (n)
        memcpy(m_pData + m_nWritePtr, p, n);
    m_nWritePtr += n;
    return (int)n;
}

int CBlockBuffer::Read(unsigned char *p, unsigned int n)
{
    // Compared without the sum so that a huge n cannot wrap around.
    if (n > m_nWritePtr - m_nReadPtr) {
        AVI_LOG("Invalid Read Size: %d\n", (int)n);
        return -1;
    }
    if (n)
        memcpy(p, m_pData + m_nReadPtr, n);
    m_nReadPtr += n;
    return (int)n;
}

int CBlockBuffer::Alloc(unsigned int size)
{
    Free();
    m_pData = (unsigned char *)avi_calloc(size);
    if (!m_pData) {
        AVI_LOG("Can't Create Buffer\n");
        return -1;
    }
    m_nSize = size;
    return 0;
}

int CBlockBuffer::ReAlloc(unsigned int size)
{
    if (!m_pData)
        return Alloc(size);
    unsigned char *p = (unsigned char *)avi_realloc(m_pData, size);
    if (!p) {
        // The old block and its positions stay as they were.
        AVI_LOG("Can't Create Buffer\n");
        return -1;
    }
    if (size > m_nSize)
        memset(p + m_nSize, 0, size - m_nSize);
    m_pData = p;
    m_nSize = size;
    m_nWritePtr = 0;
    m_nReadPtr = 0;
    return 0;
}
