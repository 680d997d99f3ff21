// Staging buffer of the AVI library: one heap block of fixed capacity with a write and a read
// position. It never grows by itself; only ReAlloc changes the capacity.
#pragma once

class CBlockBuffer
{
public:
    CBlockBuffer();
    explicit CBlockBuffer(unsigned int size);
    ~CBlockBuffer();
    CBlockBuffer(const CBlockBuffer &) = delete;
    CBlockBuffer &operator=(const CBlockBuffer &) = delete;

    unsigned char *GetData() { return m_pData; }
    unsigned int GetSize() { return m_nSize; }
    unsigned char *GetCurPtr() { return m_pData + m_nWritePtr; }
    // After writing n bytes directly at GetCurPtr(); the caller checks GetRestSize() first.
    void SetCurPtr(int n) { m_nWritePtr += n; }
    unsigned int GetCurSize() { return m_nWritePtr - m_nReadPtr; }
    unsigned int GetRestSize() { return m_nSize - m_nWritePtr; }
    void ClearData();
    void Free();

    int Write(unsigned char *p, unsigned int n);
    int Read(unsigned char *p, unsigned int n);
    int Alloc(unsigned int size);
    int ReAlloc(unsigned int size);

private:
    unsigned char *m_pData;
    unsigned int m_nSize;
    unsigned int m_nWritePtr;
    unsigned int m_nReadPtr;
};
