#include "item_writer.h"

void StartItemWriter(ItemWriter &writer, FILE *p_file, bool b_byte_items)
{
    writer.p_file = p_file;
    writer.b_byte_items = b_byte_items;
    writer.n_items_per_line = b_byte_items ? kItemsPerLine8 : kItemsPerLine32;
    writer.n_line_countdown = writer.n_items_per_line;
    writer.n_chunk_used = 0;
}

void FlushItemChunk(ItemWriter &writer)
{
    if(writer.n_chunk_used)
        std::fwrite(writer.a_chunk, 1, writer.n_chunk_used, writer.p_file);
    writer.n_chunk_used = 0;
}

char *p_FormatWideByteItem(char *p_out, uint32_t n_item)
{
    int n_shift = 28;
    while(n_shift > 0 && !(n_item >> n_shift))
        n_shift -= 4;
    for(; n_shift >= 0; n_shift -= 4)
        *p_out++ = "0123456789abcdef"[(n_item >> n_shift) & 15];
    return p_out;
}
